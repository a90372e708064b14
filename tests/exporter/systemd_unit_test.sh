#!/usr/bin/env bash
# The shipped systemd unit of solvei-exporter: systemd-analyze verify accepts it without a
# single complaint (an unknown or misspelt directive is only a warning there, so any output
# fails), and it keeps the settings a station relies on.
set -euo pipefail
unit=$1 program=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

for setting in 'Restart=on-failure' 'DynamicUser=yes' 'SupplementaryGroups=dialout' \
               'ProtectSystem=strict' 'NoNewPrivileges=yes' 'LimitNOFILE=[0-9]+' \
               'ExecStart=/usr/bin/solvei-exporter .*' 'WantedBy=multi-user.target'; do
    grep -Eqx "$setting" "$unit" || fail "the unit lacks $setting"
done

# verify checks that the program exists: point the copy at the one just built.
sed "s#^ExecStart=/usr/bin/solvei-exporter#ExecStart=$program#" "$unit" >"$work/$(basename "$unit")"
out=$(systemd-analyze verify --man=no "$work/$(basename "$unit")" 2>&1) \
    || fail "systemd-analyze verify refused the unit: $out"
[ -z "$out" ] || fail "systemd-analyze verify complained: $out"
echo "$(basename "$unit"): accepted by $(systemd-analyze --version | head -1)"
