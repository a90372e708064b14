#!/usr/bin/env bash
# The shipped Alertmanager configuration in a real Alertmanager: while an exporter cannot be
# scraped, its processors' alerts (firing or resolved) are held back, another exporter's
# processor of the same name is not; a processor that is down holds back its frozen meters.
set -euo pipefail
am=$1 config=$2
work=$(mktemp -d)
pid=
cleanup() { [ -n "$pid" ] && kill "$pid" 2>/dev/null; wait 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; [ -f "$work/am.log" ] && tail -20 "$work/am.log" >&2; exit 1; }

port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
"$am" --config.file="$config" --storage.path="$work/data" --cluster.listen-address= \
    --web.listen-address="127.0.0.1:$port" >"$work/am.log" 2>&1 &
pid=$!
url="http://127.0.0.1:$port/api/v2"
for _ in $(seq 300); do
    curl -sf "$url/status" >/dev/null && break
    sleep 0.1
done
curl -sf "$url/status" >/dev/null || fail "alertmanager did not start"

now=$(date -u +%Y-%m-%dT%H:%M:%SZ)
past=$(date -u -d '-1 min' +%Y-%m-%dT%H:%M:%SZ)
alert() { # name instance processor severity [endsAt]
    printf '{"labels":{"alertname":"%s","job":"solvei","instance":"%s","station":"main","processor":"%s","severity":"%s"},"startsAt":"%s"%s}' \
        "$1" "$2" "$3" "$4" "$past" "${5:+,\"endsAt\":\"$5\"}"
}
body="[$(alert SolveiExporterScrapeFailed a:9488 '' none),
$(alert SolveiBypassed a:9488 fm critical),
$(alert SolveiBypassed b:9488 fm critical),
$(alert SolveiProcessorDown b:9488 am critical),
$(alert SolveiMetersFrozen b:9488 am warning),
$(alert SolveiMetersFrozen b:9488 fm warning)]"
curl -sf -XPOST -H 'Content-Type: application/json' "$url/alerts" -d "$body" >/dev/null \
    || fail "alertmanager refused the alerts"

# name instance processor -> "inhibited" or "active"
state() {
    curl -sf "$url/alerts" | python3 -c '
import json, sys
name, instance, processor = sys.argv[1:]
for a in json.load(sys.stdin):
    l = a["labels"]
    if l["alertname"] == name and l["instance"] == instance and l.get("processor", "") == processor:
        print("inhibited" if a["status"]["inhibitedBy"] else a["status"]["state"])
' "$@"
}
expect() { # name instance processor state
    local got=""
    for _ in $(seq 200); do
        got=$(state "$1" "$2" "$3")
        [ "$got" = "$4" ] && return 0
        sleep 0.1
    done
    fail "$1 of $3 at $2 is '$got', not $4"
}
expect SolveiBypassed a:9488 fm inhibited
expect SolveiBypassed b:9488 fm active
expect SolveiMetersFrozen b:9488 am inhibited
expect SolveiMetersFrozen b:9488 fm active
expect SolveiProcessorDown b:9488 am active
expect SolveiExporterScrapeFailed a:9488 '' active
echo "inhibit rules hold in $("$am" --version 2>&1 | head -1)"
