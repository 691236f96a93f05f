"""Reads an .xlsx back with openpyxl and compares its Data sheet with an expected TSV.

usage: check_xlsx.py WORKBOOK EXPECTED.tsv
The TSV holds the header row, then one row per sample: num, 'YYYY-mm-dd HH:MM' or '', temperature or '',
humidity or '' (kind 4 only), alarm, humidity alarm (kind 4 only).
Prints 'sheets: ...', 'rows: N', 'types: ...', 'chart: ...' and 'mismatch: ...' lines, then 'done'. A small
workbook is also loaded whole, and the chart as openpyxl reads it is printed ('openpyxl chart: ...').
"""
import os
import sys
import zipfile

import openpyxl


def main():
    path, expected_path = sys.argv[1], sys.argv[2]
    with open(expected_path, encoding="utf-8") as f:
        expected = [line.rstrip("\n").split("\t") for line in f]
    wb = openpyxl.load_workbook(path, read_only=True)
    print("sheets: " + "|".join(wb.sheetnames))
    print("chartsheets: %d" % len(wb.chartsheets))
    data = wb[wb.sheetnames[1]]
    rows = 0
    mismatches = 0
    types = set()
    for r, row in enumerate(data.iter_rows(values_only=True)):
        want = expected[r] if r < len(expected) else None
        rows += 1
        if want is None:
            print("mismatch: extra row %d" % r)
            mismatches += 1
            continue
        got = []
        for c, value in enumerate(row[: len(want)]):
            if r > 0 and value is not None:
                types.add("%d:%s" % (c, type(value).__name__))
            if value is None:
                got.append("")
            elif hasattr(value, "strftime"):
                got.append(value.strftime("%Y-%m-%d %H:%M"))
            elif isinstance(value, float):
                got.append(repr(value))
            else:
                got.append(str(value))
        # Numbers compare as numbers: the TSV holds the shortest text of the same value.
        for c, (g, w) in enumerate(zip(got, want)):
            same = g == w
            if not same and g and w:
                try:
                    same = float(g) == float(w)
                except ValueError:
                    same = False
            if not same and mismatches < 5:
                print("mismatch: row %d column %d: got %r want %r" % (r, c, g, w))
            if not same:
                mismatches += 1
    print("rows: %d of %d" % (rows, len(expected)))
    print("types: " + " ".join(sorted(types)))
    print("mismatches: %d" % mismatches)
    with zipfile.ZipFile(path) as z:
        charts = [n for n in z.namelist() if n.startswith("xl/charts/chart")]
        for name in charts:
            xml = z.read(name).decode("utf-8")
            print("chart: %s line=%s scatter=%s series=%d" % (
                name, "<c:lineChart>" in xml, "<c:scatterChart>" in xml, xml.count("<c:ser>")))
            for ref in xml.split("<c:f>")[1:]:
                print("ref: " + ref.split("</c:f>")[0])
    if os.path.getsize(path) < 200000:
        whole = openpyxl.load_workbook(path)
        for sheet in whole.chartsheets:
            for chart in sheet._charts:
                print("openpyxl chart: %s x=%s format=%s series=%d" % (
                    chart.tagname, chart.x_axis.tagname,
                    getattr(chart.x_axis.number_format, "formatCode", chart.x_axis.number_format), len(chart.series)))
    print("done")


if __name__ == "__main__":
    main()
