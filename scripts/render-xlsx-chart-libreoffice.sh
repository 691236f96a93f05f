#!/usr/bin/env bash
# Renders the chart sheet of an .xlsx export with LibreOffice headless, to look at it: a three-day recording
# (a daily sine that leaves its limits) is exported, LibreOffice prints the workbook to PDF and the chart's page
# becomes a PNG. Needs libreoffice-calc-nogui (large, so not part of test.sh) and pdftoppm.
# usage: scripts/render-xlsx-chart-libreoffice.sh OUT.png [path/to/thermivo-cli]
set -euo pipefail
out=${1:?usage: $0 OUT.png [thermivo-cli]}
cli=${2:-build/src/cli/thermivo-cli}
command -v soffice >/dev/null || { echo "needs soffice (Debian: libreoffice-calc-nogui)" >&2; exit 2; }
[ -x "$cli" ] || { echo "no thermivo-cli at $cli (build it first)" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TZ=Europe/Berlin LANG=en_US.UTF-8

/usr/bin/python3 - "$work/in.json" <<'PY'
import json, math, sys
n = 3 * 288  # three days at five minutes
t = [round(5 + 4.5 * math.sin(i * 2 * math.pi / 288), 2) for i in range(n)]
h = [round(50 + 25 * math.cos(i * 2 * math.pi / 288), 1) for i in range(n)]
json.dump({"kind": 4, "serial": "UTH20140001", "startTime": 1393668000, "intervalSeconds": 300,
           "tempUpper": 8, "tempLower": 2, "humiUpper": 70, "humiLower": 30,
           "temperature": t, "humidity": h}, open(sys.argv[1], "w"))
PY
"$cli" create --from-json "$work/in.json" -o "$work/r.kvlu" 2>/dev/null
"$cli" convert "$work/r.kvlu" --unit C --xlsx "$work/r.xlsx" 2>/dev/null
soffice --headless -env:UserInstallation=file://$work/profile --convert-to pdf --outdir "$work/out" "$work/r.xlsx" \
  >"$work/soffice.log" 2>&1 || { cat "$work/soffice.log"; exit 1; }
pages=$(pdfinfo "$work/out/r.pdf" | awk '/^Pages:/ {print $2}')
# The chart sheet is the last sheet, so its page is the last page.
pdftoppm -r 60 -png -f "$pages" -l "$pages" -singlefile "$work/out/r.pdf" "${out%.png}"
echo "rendered page $pages of $pages to $out"
