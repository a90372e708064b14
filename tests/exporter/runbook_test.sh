#!/usr/bin/env bash
# Every alert of the shipped rules has its line in the runbook, and the runbook names no alert
# the rules lack.
set -euo pipefail
rules=$1 runbook=$2
alerts=$(grep -Eo '^ *- alert: [A-Za-z]+' "$rules" | awk '{print $3}' | sort)
lines=$(grep -Eo '^\| `[A-Za-z]+` \|' "$runbook" | tr -d '|` ' | sort)
[ -n "$alerts" ] || { echo "FAIL: no alerts in $rules" >&2; exit 1; }
if [ "$alerts" != "$lines" ]; then
    echo "FAIL: alerts and runbook lines differ:" >&2
    diff <(echo "$alerts") <(echo "$lines") >&2 || true
    exit 1
fi
echo "$(wc -l <<<"$alerts") alerts, each with its runbook line"
