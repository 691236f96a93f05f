#!/bin/sh
# Checks with LibreOffice (Debian: libreoffice-calc-nogui, too large for CI) that an export into a workbook
# another program wrote keeps that program's sheets: the dates stay dates, the two-decimal format and the
# formula stay, and our Summary and Data sheets are added.
#   scripts/check-workbook-libreoffice.sh [BUILD_DIR]          check (default build dir: build)
#   scripts/check-workbook-libreoffice.sh --remake             re-make tests/data/workbooks/other-program.xls
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
data="$root/tests/data/workbooks"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME="$work"  # LibreOffice keeps a profile there
soffice_to() { soffice --headless --convert-to "$1" --outdir "$work" "$2" >/dev/null 2>&1; }

if [ "${1:-}" = "--remake" ]; then
  soffice_to xls "$data/other-program.fods"
  cp "$work/other-program.xls" "$data/other-program.xls"
  echo "made $data/other-program.xls"
  exit 0
fi

cli="$root/${1:-build}/src/cli/thermivo-cli"
cat >"$work/in.json" <<'JSON'
{"kind": 1, "serial": "DI201400007", "startTime": 1393668000, "intervalSeconds": 300,
 "tempUpper": 8, "tempLower": 2, "description": "Fridge 3", "temperature": [5.5, -2.25, 1]}
JSON
"$cli" create --from-json "$work/in.json" -o "$work/r.kvlu" 2>/dev/null
cp "$data/other-program.xls" "$work/book.xls"
"$cli" convert "$work/r.kvlu" --unit C --xls "$work/book.xls"
soffice_to fods "$work/book.xls"
fods="$work/book.fods"

status=0
check() {
  if grep -q -- "$2" "$fods"; then echo "ok   $1"; else echo "FAIL $1"; status=1; fi
}
check "sheet Readings kept" 'table:name="Readings"'
check "sheet Notes kept" 'table:name="Notes"'
check "sheet Summary added" 'table:name="Summary"'
check "sheet Data added" 'table:name="Data"'
check "date column is still dates" 'office:value-type="date" office:date-value="2024-01-03"'
check "formula is still a formula" 'table:formula="of:=\[.B3\]\*2"'
check "two-decimal format kept" 'number:decimal-places="2"'
check "our values are there" '<text:p>-2.25°C'
check "other text kept" 'Kühlraum Süd – checked by Anna'
[ $status -eq 0 ] && echo "workbook kept by the export" || echo "workbook NOT kept"
exit $status
