#!/usr/bin/env python3
"""Reads back the workbook of the hand-made report (ReportFixture.h) with
openpyxl and checks its sheets, cells and cell types. Exit status 0 when all
is as expected; otherwise the first difference is printed."""
import datetime as dt
import sys

import openpyxl

path = sys.argv[1]
wb = openpyxl.load_workbook(path)
assert wb.sheetnames == ["Sammanfattning", "Kallelser"], wb.sheetnames

calls = wb["Kallelser"]
rows = list(calls.iter_rows(values_only=True))
assert rows[0] == ("Klientnamn", "Resursnamn", "Påkallad", "Bekräftad", "SMS skickat"), rows[0]
assert len(rows) == 25, len(rows)
assert calls.freeze_panes == "A2", calls.freeze_panes
assert calls.column_dimensions["A"].width >= 20, calls.column_dimensions["A"].width
# Times are dates, SMS a truth value, a missing confirmation an empty cell.
assert rows[1] == ("Reception", "Rum 1", dt.datetime(2024, 5, 30, 8, 0), dt.datetime(2024, 5, 30, 8, 1), False), rows[1]
assert rows[4] == ("Lab", "Rum 1", dt.datetime(2024, 5, 31, 23, 59), dt.datetime(2024, 6, 1, 0, 1), False), rows[4]
assert rows[6][3] is None and rows[6][4] is False, rows[6]
assert rows[5][4] is True and rows[8][4] is True, (rows[5], rows[8])
assert rows[13][1] == 'Dr "Bo"; Ek', rows[13]
assert calls["C2"].is_date and calls["C2"].number_format == "yyyy-mm-dd hh:mm:ss", calls["C2"].number_format

summary = wb["Sammanfattning"]
srows = list(summary.iter_rows(values_only=True))
assert srows[0][0] == "Vårdcentralen Norr", srows[0]
assert srows[1][0] == "2024-05-30 – 2024-06-02 · Klienter: alla · Resurser: alla · Alla kallelser", srows[1]
header = srows[3]
assert header == ("Typ", "Namn", "Kallelser", "Bekräftade", "Andel", "SMS", "Median", "90:e perc.", "Längsta"), header
body = srows[4:11]
assert srows[12][0].startswith("Andel: andel bekräftade."), srows[12]
assert [r[1] for r in body] == ['Dr "Bo"; Ek', "Rum 1", "Rum 2", "Rum 3", "Lab", "Reception", None], body
rum2 = body[2]
assert rum2[:4] == ("Resurs", "Rum 2", 6, 4), rum2
assert abs(rum2[4] - 4 / 6) < 1e-9, rum2
assert rum2[5] == 3, rum2
# Durations as Excel times: 75, 245 and 245 seconds.
def seconds_of(v):
    if isinstance(v, dt.timedelta):
        return v.total_seconds()
    if isinstance(v, dt.time):
        return v.hour * 3600 + v.minute * 60 + v.second + v.microsecond / 1e6
    if isinstance(v, dt.datetime):
        return (v - dt.datetime(1899, 12, 30)).total_seconds()
    return v * 86400


for got, seconds in zip(rum2[6:], (75, 245, 245)):
    got_seconds = seconds_of(got)
    assert abs(got_seconds - seconds) < 1e-3, (got, seconds)
assert body[0][6:] == (None, None, None), body[0]  # no confirmed calls
total = body[-1]
assert total[0] == "Totalt" and total[2:4] == (24, 19) and total[5] == 5, total
assert summary.cell(row=6, column=5).number_format == "0.0%", summary.cell(row=6, column=5).number_format
assert summary.cell(row=6, column=7).number_format == "[h]:mm:ss"
for r in range(5, 12):
    assert summary.cell(row=r, column=3).data_type == "n", r
print("ok")
