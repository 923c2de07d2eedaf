#!/usr/bin/env python3
"""The scraper a user would write instead of the program's parser: Python 3's re with the same item
pattern and the same field cuts (the first left marker, ignoring the case of ASCII letters, then the next
right marker), over the pages that parse_bench writes.

    build/bench/parse_bench --write-pages=DIR
    python3 bench/scraper.py DIR [--bench-json FILE] [--hostile]

With --bench-json (the output of parse_bench --benchmark_format=json) it also prints how the parser
compares with this scraper and with the plain memmem scan, page by page.
"""
import argparse
import json
import os
import re
import sys
import time

FAILURE = "获取失败".encode("gbk")
SECTION_START = ('<div style="font-size: 14px;\r\npadding: 8px;\r\nwidth: 696px;\r\nmargin-bottom: 5px;'
                 'border: 1px solid #0F4179;\r\nbackground: #CAE5FF;\r\ncolor: #093368;">Zelvora网盘资源面向'
                 '全网共享，如果您有优质资源，可以<a href="tjwz.php" style="color: #093368;"><b>[点击此处分享]'
                 '</b></a>。</div>\r').encode("gbk")
SECTION_END = b'<div class="fxan3" style="width:65px;">\r'
ITEM_PATTERN = (b'<a href=".*?" target="_blank"><div class="fxan" style="width:500px;  ">\r\n.*?\r\n</div></a>'
                b'\r\n\r\n\r\n<div class="fxan" style="width:80px;">\r\n.*?\r\n</div>\r\n\r\n<div class="fxan" '
                b'style="width:87px;">\r\n.*?</div><div class="fxan" style="display:none;">\r\n.*?</div><div '
                b'class="fxan1" style="display:none;">\r\n.*?</div>')
SIZE_MARKER = b'<div class="fxan" style="width:80px;">\r\n'
PASSWORD_MARKER = b'<div class="fxan" style="display:none;">'
LINK_MARKER = b'<div class="fxan1" style="display:none;">'
ID_MARKER = b'<div class="lby">\r\n\r\n\r\n\r\n<a href="jc.php?pid='


def between(source, lowered, left, right, start=0, end=None):
    """The text between the first left marker and the next right marker in source[start:end], the case of
    ASCII letters ignored: lowered is source.lower(), the markers are lower case already."""
    end = len(source) if end is None else end
    b = lowered.find(left, start, end)
    if b < 0:
        return FAILURE
    s = b + len(left)
    e = lowered.find(right, s, end)
    if e < 0:
        return FAILURE
    return source[s:e]


PATTERN = re.compile(ITEM_PATTERN, re.DOTALL)
LOW = {m: m.lower() for m in (SECTION_START, SECTION_END, SIZE_MARKER, PASSWORD_MARKER, LINK_MARKER, ID_MARKER,
                              b"</span>", b"</div>", b"<", b"mb", b"jc.php?pid=", b'"')}


def scrape(page):
    section = between(page, page.lower(), LOW[SECTION_START], LOW[SECTION_END])
    low = section.lower()  # once, and each match's cuts look at its own stretch of it
    items = []
    for k, match in enumerate(PATTERN.finditer(section)):
        a, z = match.span()
        name = between(section, low, LOW[b"</span>"], LOW[b"</div>"], a, z)
        password = between(section, low, LOW[PASSWORD_MARKER], LOW[b"<"], a, z)
        link = between(section, low, LOW[LINK_MARKER], LOW[b"<"], a, z)
        size = between(section, low, LOW[SIZE_MARKER], LOW[b"mb"], a, z) + b"MB"
        rid = between(section, low, LOW[b"jc.php?pid="] if k == 0 else LOW[ID_MARKER], LOW[b'"'], a, z)
        items.append((name, size, password, link, rid))
    return items


def measure(page, min_seconds):
    runs, elapsed, items = 0, 0.0, []
    while elapsed < min_seconds or runs == 0:
        start = time.perf_counter()
        items = scrape(page)
        elapsed += time.perf_counter() - start
        runs += 1
    return len(items), runs, len(page) * runs / elapsed / 1e6


def bench_figures(path):
    """bytes per second of BM_Parse and BM_Scan by item count, from parse_bench's JSON."""
    with open(path) as f:
        data = json.load(f)
    figures = {}
    for b in data["benchmarks"]:
        # With repetitions, the median stands for the run; without, the one iteration run.
        if b.get("run_type") == "aggregate" and b.get("aggregate_name") != "median":
            continue
        name = b.get("run_name", b["name"]).split("/")
        if name[0] in ("BM_Parse", "BM_Scan") and len(name) > 1 and name[1].startswith("items:"):
            figures[(name[0], int(name[1].split(":")[1]))] = b["bytes_per_second"] / 1e6
    return figures


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("pages", help="the folder parse_bench --write-pages wrote")
    parser.add_argument("--bench-json", help="parse_bench --benchmark_format=json output")
    parser.add_argument("--min-seconds", type=float, default=1.0)
    parser.add_argument("--hostile", action="store_true",
                        help="also the small hostile pages, once each (re backtracks on them: minutes)")
    args = parser.parse_args()
    figures = bench_figures(args.bench_json) if args.bench_json else {}
    names = sorted(os.listdir(args.pages), key=lambda n: (not n.startswith("items_"), len(n), n))
    for name in names:
        with open(os.path.join(args.pages, name), "rb") as f:
            page = f.read()
        hostile = not name.startswith("items_")
        if hostile and not args.hostile:
            continue
        items, runs, mb_per_s = measure(page, 0.0 if hostile else args.min_seconds)
        line = f"{name:28} {len(page) / 1e6:8.3f} MB {items:6} items  python re {mb_per_s:9.2f} MB/s"
        if not hostile and figures:
            count = int(name[len("items_"):-len(".html")])
            parse, scan = figures.get(("BM_Parse", count)), figures.get(("BM_Scan", count))
            if parse:
                line += f"  parser {parse:8.1f} MB/s = {parse / mb_per_s:5.1f}x python"
            if parse and scan:
                line += f", scan {scan:8.1f} MB/s = {scan / parse:4.1f}x parser"
        print(line, flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
