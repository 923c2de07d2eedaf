#!/usr/bin/env bash
# Builds in Release and prints one table of the program's figures, each beside what a user would use
# instead, both sides measured in the same run on the same input. Not part of ./test.sh.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps

build=build-release
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j "$(nproc)" --target \
    parse_bench http_bench program_refresh_bench program_startup_bench quorvelv-site >/dev/null

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}

echo "bench: parsing (parser, plain scan, Python re scraper)" >&2
mkdir -p "$out/pages"
"$build/bench/parse_bench" --write-pages="$out/pages" >/dev/null 2>&1
"$build/bench/parse_bench" --benchmark_format=json \
    --benchmark_filter='BM_Parse/|BM_ParseHostile|BM_ParseBacktracking|BM_Scan' >"$out/parse.json" 2>/dev/null
python3 bench/scraper.py "$out/pages" --bench-json "$out/parse.json" --hostile >"$out/scraper.txt" 2>&1

echo "bench: fetching (http_get, the curl tool)" >&2
"$build/bench/http_bench" >"$out/http.txt" 2>&1

echo "bench: the program (start, memory, refresh, stalls)" >&2
"$build/bench/program_startup_bench" >"$out/startup.txt" 2>&1
"$build/bench/program_refresh_bench" >"$out/refresh.txt" 2>&1

echo "bench: the site server under wrk" >&2
scripts/bench-site-server "$build/server/quorvelv-site" --connections 4 --threads 2 --seconds 10 \
    >"$out/server.txt" 2>&1

python3 - "$out" <<'PY'
import json, re, sys, os
out = sys.argv[1]
read = lambda name: open(os.path.join(out, name), encoding="utf-8", errors="replace").read()
rows = []
def row(area, what, figure, beside="", target=""):
    rows.append((area, what, figure, beside, target))

bench = {b["name"]: b for b in json.load(open(os.path.join(out, "parse.json")))["benchmarks"]}
mbps = lambda name: bench[name]["bytes_per_second"] / 1e6
for line in read("scraper.txt").splitlines():
    m = re.match(r"items_(\d+)\.html.*python re\s+([\d.]+) MB/s\s+parser\s+([\d.]+) MB/s.*scan\s+([\d.]+) MB/s", line)
    if m:
        n, py, parser, scan = m.groups()
        row("parse", f"{n} items", f"{float(parser):.0f} MB/s",
            f"Python re {float(py):.0f} MB/s ({float(parser)/float(py):.1f}x); scan {float(scan):.0f} MB/s "
            f"({float(scan)/float(parser):.1f}x)", ">=3x Python, within 10x of scan")
    m = re.match(r"(\w+)_16KB\.html\s+([\d.]+) MB.*python re\s+([\d.]+) MB/s", line)
    if m:
        size, speed = float(m.group(2)), float(m.group(3))
        took = f"{size / speed:.2f} s" if speed > 0 else "> 10 s"
        row("parse", f"hostile {m.group(1)}, Python re on only 16 KB", took, "", "(the parser: 20 MB below)")
for shape, label in ((0, "unfinished_item"), (1, "anchor_flood"), (2, "linkless_items")):
    b = bench[f"BM_ParseHostile/shape:{shape}/MB:20"]
    row("parse", f"hostile {label}, 20 MB", f"{b['real_time']:.1f} {b['time_unit']}", "", "< 100 ms")
for mb in (2, 20):
    name = f"BM_ParseBacktracking/MB:{mb}/iterations:1"
    name = next((k for k in bench if k.startswith(f"BM_ParseBacktrackingPattern/MB:{mb}")), None)
    if name:
        b = bench[name]
        row("parse", f"user pattern that backtracks, {mb} MB", f"{b['real_time']:.0f} {b['time_unit']}", "", "bounded")
per_item = []
for n in (20, 1000, 10000):
    b = bench[f"BM_Parse/items:{n}"]
    unit = {"ns": 1, "us": 1e3, "ms": 1e6}[b["time_unit"]]
    per_item.append((n, b["real_time"] * unit / n))
slope = (per_item[-1][1] - per_item[0][1]) / (per_item[-1][0] - per_item[0][0])
row("scaling", "time per item at 20 / 1,000 / 10,000 items",
    " / ".join(f"{t:.0f} ns" for _, t in per_item), f"slope {slope:+.4f} ns per item", "flat")

for line in read("http.txt").splitlines():
    m = re.match(r"(15 KB|5 MB)\s+http_get / curl tool \(one process\)\s+([\d.]+)", line)
    if m:
        row("fetch", f"http_get / curl tool, {m.group(1)}", f"{float(m.group(2)):.2f}x time", "", "<= 1.0x")
    m = re.match(r"(15 KB|5 MB)\s+like for like: / libcurl discarding\s+([\d.]+)", line)
    if m:
        row("fetch", f"http_get / libcurl loop with the tool's options, {m.group(1)}",
            f"{float(m.group(2)):.2f}x time", "keeps the body vs discards it")
    m = re.match(r"(15 KB|5 MB)\s+(http_get|curl tool, one process, N fetches|curl tool, one process per fetch)"
                 r"\s+([\d.]+)\s+[\d.]+\.\.[\d.]+\s+([\d.]+)", line)
    if m:
        row("fetch", f"{m.group(2)}, {m.group(1)}", f"{m.group(3)} ms", f"{m.group(4)} MB/s")

for line in read("startup.txt").splitlines():
    m = re.match(r"(spawn to first show|spawn to 20 rows listed|peak RSS.*?)\s+median\s+([\d.]+ \w+)", line)
    if m:
        target = {"spawn to first show": "< 300 ms"}.get(m.group(1), "< 80 MB" if "RSS" in m.group(1) else "")
        row("program", m.group(1).strip(), m.group(2), "", target)
for line in read("refresh.txt").splitlines():
    m = re.match(r"(\d+) items.*click to last row\s+([\d.]+ ms).*longest stall\s+([\d.]+ ms)", line)
    if m:
        row("program", f"Refresh click to last row, {m.group(1)} items", m.group(2),
            f"longest UI stall {m.group(3)}", "< 50 ms" if m.group(1) == "20" else "< 1 s; stall < 50 ms")

server = read("server.txt")
m = re.search(r"([\d.]+)\s*requests/s", server) or re.search(r"Requests/sec:\s+([\d.]+)", server)
row("site", "listing page under wrk, 4 connections", f"{m.group(1)} req/s" if m else "n/a", "", "")

widths = [max(len(r[i]) for r in rows + [("area", "what", "figure", "beside it", "target")]) for i in range(5)]
line = lambda r: "  ".join(c.ljust(w) for c, w in zip(r, widths)).rstrip()
print(line(("area", "what", "figure", "beside it", "target")))
print(line(tuple("-" * w for w in widths)))
for r in rows:
    print(line(r))
PY
