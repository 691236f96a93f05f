#!/usr/bin/env bash
# Checks that LibreOffice opens the .xlsx export of a full 60000-sample temperature-and-humidity recording:
# builds the recording with thermivo-cli, exports it, has LibreOffice headless turn the Data sheet into CSV
# and compares row count and a few cells. Needs libreoffice-calc (large, so not part of test.sh).
# usage: scripts/check-xlsx-libreoffice.sh [path/to/thermivo-cli]
set -euo pipefail
cli=${1:-build/src/cli/thermivo-cli}
command -v soffice >/dev/null || { echo "needs soffice (Debian: libreoffice-calc-nogui)" >&2; exit 2; }
[ -x "$cli" ] || { echo "no thermivo-cli at $cli (build it first)" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TZ=UTC LANG=en_US.UTF-8

/usr/bin/python3 - "$work/in.json" <<'PY'
import json, math, sys
n = 60000
t = [round(5 + 4.5 * math.sin(i * 0.003), 2) for i in range(n)]
h = [round(50 + 25 * math.cos(i * 0.002), 1) for i in range(n)]
json.dump({"kind": 4, "serial": "UTH20140001", "startTime": 1393668000, "intervalSeconds": 60,
           "tempUpper": 8, "tempLower": 2, "humiUpper": 70, "humiLower": 30,
           "tempMax": max(t), "tempMin": min(t), "tempAvg": sum(t) / n,
           "humiMax": max(h), "humiMin": min(h), "humiAvg": sum(h) / n,
           "temperature": t, "humidity": h}, open(sys.argv[1], "w"))
PY
"$cli" create --from-json "$work/in.json" -o "$work/r.kvlu" 2>/dev/null
"$cli" convert "$work/r.kvlu" --unit C --xlsx "$work/r.xlsx" 2>/dev/null
start=$(date +%s.%N)
# CSV filter options: comma, double quote, UTF-8, from row 1, ..., cells as shown (so the number and date
# formats are checked too), sheet 2 (the Data sheet).
soffice --headless -env:UserInstallation=file://$work/profile \
  --convert-to 'csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,true,false,false,2' \
  --outdir "$work/out" "$work/r.xlsx" >"$work/soffice.log" 2>&1 || { cat "$work/soffice.log"; exit 1; }
end=$(date +%s.%N)
csv=$(ls "$work"/out/*.csv | head -1)
[ -f "$csv" ] || { echo "FAIL: LibreOffice wrote no CSV"; cat "$work/soffice.log"; exit 1; }
rows=$(wc -l <"$csv")
echo "LibreOffice opened the workbook in $(echo "$end - $start" | bc) s; Data sheet rows: $rows"
head -3 "$csv"
status=0
[ "$rows" -eq 60001 ] || { echo "FAIL: expected 60001 rows"; status=1; }
grep -q '^1,2014-03-01 10:00,5.00,75.00,,high$' "$csv" || { echo "FAIL: first sample row differs"; status=1; }
grep -q '^60000,' "$csv" || { echo "FAIL: last sample missing"; status=1; }
[ $status -eq 0 ] && echo "PASS"
exit $status
