"""The demo project's report page in a real browser: headless Chromium
renders it to a screenshot (kept as ./report_page/screenshot.png) that must
show a page, and the DOM it builds must hold the project cost and the three
charts. Exits 77, which CTest counts as skipped, only where no Chromium is
installed.

Usage: check_page.py QUILLMERE"""

import decimal
import os
import shutil
import sqlite3
import struct
import subprocess
import sys
import tempfile
import zlib

WIDTH, HEIGHT = 1280, 2400

browser = next((b for b in map(shutil.which, ("chromium", "chromium-browser", "google-chrome")) if b), None)
if browser is None:
    print("SKIPPED: no Chromium on this machine (scripts/bootstrap installs Debian's chromium); "
          "the page was not rendered")
    sys.exit(77)

failures = []


def check(what, condition):
    if not condition:
        failures.append(what)


def quillmere(*args):
    return subprocess.run([sys.argv[1], *args], capture_output=True, text=True).returncode


def chromium(*args):
    # A fresh profile and no background traffic: the browser reaches for the
    # network at start-up otherwise, which a closed machine refuses.
    with tempfile.TemporaryDirectory(prefix="quillmere_chromium_") as profile:
        return subprocess.run(
            [browser, "--headless", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage", "--disable-quic",
             "--no-first-run", "--disable-background-networking", "--disable-component-update", "--disable-sync",
             "--hide-scrollbars", f"--user-data-dir={profile}", *args],
            capture_output=True, text=True, timeout=120)


def png_pixels(path):
    """The size and the raw scanlines of a PNG."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        return 0, 0, b""
    width, height = struct.unpack(">II", data[16:24])
    chunks, at = [], 8
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        if kind == b"IDAT":
            chunks.append(data[at + 8:at + 8 + length])
        at += 12 + length
    return width, height, zlib.decompress(b"".join(chunks))


def money_text(figure):
    return "{:,.2f}".format(decimal.Decimal(figure).quantize(decimal.Decimal("0.01"), decimal.ROUND_HALF_UP))


work = os.path.abspath("report_page")
shutil.rmtree(work, ignore_errors=True)
os.makedirs(work)
db = os.path.join(work, "demo.db")
page = os.path.join(work, "report.html")
screenshot = os.path.join(work, "screenshot.png")
check("demo written and priced", quillmere("demo", db) == 0 and quillmere("calc", db) == 0)
check("page written", quillmere("report", db, "--html", page) == 0)
url = "file://" + page

shot = chromium(f"--screenshot={screenshot}", f"--window-size={WIDTH},{HEIGHT}", url)
check(f"screenshot: exit {shot.returncode}: {shot.stderr[-500:]}", shot.returncode == 0 and os.path.exists(screenshot))
if os.path.exists(screenshot):
    width, height, pixels = png_pixels(screenshot)
    check(f"screenshot is {width}x{height}, want {WIDTH}x{HEIGHT}", (width, height) == (WIDTH, HEIGHT))
    # A blank page is a few values repeated; a rendered one has text, tables
    # and coloured bars.
    check(f"screenshot shows {len(set(pixels))} byte values", len(set(pixels)) > 100)

dom = chromium("--dump-dom", url)
cost = sqlite3.connect(db).execute("select shuzhi from gcxxb where mingc='工程造价'").fetchone()[0]
check(f"DOM: exit {dom.returncode}, {len(dom.stdout)} characters", dom.returncode == 0 and len(dom.stdout) > 1000)
check(f"DOM holds the project cost {money_text(cost)}", money_text(cost) in dom.stdout)
check(f"DOM holds {dom.stdout.count('<svg')} charts, want 3", dom.stdout.count("<svg") == 3)

for failure in failures:
    print("FAIL:", failure)
print(f"{'FAILED' if failures else 'passed'}: {page} rendered to {screenshot}")
sys.exit(1 if failures else 0)
