"""The demo project's report, written by the quillmere program and read back
with openpyxl: every money cell of the bill, the summary and the resource
summary holds the project database's figure as a number, the summary's total
is the project cost, and the sheets print as the forms must. Also: a project
not yet priced gets exit status 1 and no file, and the database is only read.

Usage: check_workbook.py QUILLMERE (the files stay in ./report_workbook)"""

import decimal
import os
import shutil
import sqlite3
import subprocess
import sys

import openpyxl

MONEY_FORMAT = "#,##0.00"
failures = []


def check(what, condition):
    if not condition:
        failures.append(what)


def quillmere(*args):
    return subprocess.run([sys.argv[1], *args], capture_output=True, text=True)


def same_money(cell, figure, what):
    check(f"{what}: {cell.coordinate} holds {cell.value!r} as {cell.data_type}/{cell.number_format}, "
          f"the database {figure!r}",
          cell.data_type == "n" and cell.number_format == MONEY_FORMAT and cell.value is not None
          and abs(cell.value - figure) <= 1e-9 * max(1.0, abs(figure)))


def difference(current, base):
    # Both are amounts in cents: their difference on the decimals.
    return float(decimal.Decimal(repr(current)) - decimal.Decimal(repr(base)))


def figure_rows(sheet):
    return list(sheet.iter_rows(min_row=4))


work = os.path.abspath("report_workbook")
shutil.rmtree(work, ignore_errors=True)
os.makedirs(work)
db = os.path.join(work, "demo.db")
workbook_path = os.path.join(work, "report.xlsx")
page_path = os.path.join(work, "report.html")
check("demo written", quillmere("demo", db).returncode == 0)

run = quillmere("report", db)
check(f"no output asked for: exit {run.returncode}, want 2", run.returncode == 2)
run = quillmere("report", db, "--xlsx", workbook_path, "--html", page_path)
check(f"unpriced: exit {run.returncode} ({run.stderr.strip()}), want 1 naming 工程造价",
      run.returncode == 1 and "工程造价" in run.stderr)
check(f"unpriced: files left {sorted(os.listdir(work))}", sorted(os.listdir(work)) == ["demo.db"])

check("demo priced", quillmere("calc", db).returncode == 0)
with open(db, "rb") as f:
    priced = f.read()
run = quillmere("report", db, "--xlsx", workbook_path, "--html", page_path)
check(f"report: exit {run.returncode} ({run.stderr.strip()})", run.returncode == 0)
with open(db, "rb") as f:
    check("the project database changed", f.read() == priced)

con = sqlite3.connect(db)
cost = float(con.execute("select shuzhi from gcxxb where mingc='工程造价'").fetchone()[0])
variables = dict(con.execute("select fymc, blsz from qfblb where bllx=2"))
book = openpyxl.load_workbook(workbook_path)

for sheet in book.worksheets:
    check(f"{sheet.title}: frozen at {sheet.freeze_panes}", sheet.freeze_panes == "A4")
    check(f"{sheet.title}: printed {sheet.page_setup.orientation} on paper {sheet.page_setup.paperSize}",
          sheet.page_setup.orientation == "landscape" and str(sheet.page_setup.paperSize) == "9")
    check(f"{sheet.title}: title rows {sheet.print_title_rows}", sheet.print_title_rows == "$1:$3")

cover = {row[0].value: row[1] for row in figure_rows(book["封面"])}
same_money(cover["工程造价（小写，元）"], cost, "cover")

# The summary programme line by line, then its total: the project cost, which
# is also the result of the line numbered as many as there are lines.
lines = con.execute("select sjxh, fymc, jsjsje, jsjg from qfjjcxb where leixing=2 order by jsxh, rowid").fetchall()
rows = figure_rows(book["单位工程汇总表"])
check(f"summary: {len(rows)} rows for {len(lines)} lines and the total", len(rows) == len(lines) + 1)
for row, (number, name, base, result) in zip(rows, lines):
    check(f"summary line {name}: {row[1].value}", row[1].value == name)
    same_money(row[3], base, f"summary {name} base")
    same_money(row[5], result, f"summary {name} amount")
check("summary total line", rows[-1][1].value == "合计")
same_money(rows[-1][5], cost, "summary total")
check("the last summary line is the project cost",
      [result for number, _, _, result in lines if number == len(lines)] == [cost])

# The bill: bill items by code and name, sections by their subtotal lines,
# the two bills by their totals. A section's subtotal closes the section
# opened last, and a section opens inside one of a higher level only.
items = {(code, name): figures for code, name, *figures in con.execute(
    "select qdxh, zhmc, yssl, sjdj, sjbj, zgjhj from zhys where fbcch=5 and qdlb in (0,1)")}
sections = {name: figures for name, *figures in con.execute(
    "select zhmc, fbcch, sjbj, zgjhj from zhys where fbcch between 1 and 4 and qdlb in (0,1) and cslb is not '1'")}
totals = {"分部分项工程合计": variables["工程量清单计价"], "单价措施项目合计": variables["施工技术措施"]}
seen_items, seen_sections, seen_totals, open_sections = 0, 0, 0, []
for row in figure_rows(book["分部分项工程和单价措施项目清单与计价表"]):
    name = row[2].value or ""
    if row[0].value is not None:
        quantity, price, total, provisional = items[(row[1].value, name)]
        check(f"bill item {name}: quantity {row[4].value}", row[4].data_type == "n" and row[4].value == quantity)
        for cell, figure in zip(row[5:8], (price, total, provisional)):
            same_money(cell, figure, f"bill item {name}")
        seen_items += 1
    elif name in sections:
        check(f"bill section {name} opens inside {open_sections}",
              not open_sections or sections[open_sections[-1]][0] < sections[name][0])
        open_sections.append(name)
    elif name.startswith("小计："):
        check(f"bill subtotal {name} closes {open_sections}", open_sections and open_sections.pop() == name[3:])
        for cell, figure in zip(row[6:8], sections[name[3:]][1:]):
            same_money(cell, figure, f"bill section {name}")
        seen_sections += 1
    elif name in totals:
        same_money(row[6], totals[name], f"bill {name}")
        seen_totals += 1
check(f"bill: {seen_items} items, {seen_sections} subtotals, {seen_totals} totals",
      (seen_items, seen_sections, seen_totals) == (len(items), len(sections), len(totals)))

# The resource summary: each group under its heading, in code order.
expected = []
for table in ("gcrgb", "gcclb", "gcjxb", "gcjxfb"):
    expected.append(None)
    expected += con.execute(f"select bh, mc, dw, sl, dj, iif(xxj=0, dj, xxj), hj, xhj from {table} "
                            "order by bh, mc, dw, dj, rowid").fetchall()
rows = figure_rows(book["人材机汇总表"])
check(f"resources: {len(rows)} rows, want {len(expected)}", len(rows) == len(expected))
for row, line in zip(rows, expected):
    if line is None:
        check(f"resources: heading expected at row {row[0].row}", row[0].value is None and row[1].value)
        continue
    code, name, unit, quantity, *money = line
    check(f"resource {code} {name}: {[c.value for c in row[:4]]}",
          [c.value for c in row[:3]] == [code, name, unit] and row[3].value == quantity)
    for cell, figure in zip(row[4:9], money + [difference(money[3], money[2])]):
        same_money(cell, figure, f"resource {code} {name}")

for failure in failures:
    print("FAIL:", failure)
print(f"{'FAILED' if failures else 'passed'}: the workbook {workbook_path} against {db}")
sys.exit(1 if failures else 0)
