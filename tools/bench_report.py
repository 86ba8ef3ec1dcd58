#!/usr/bin/env python3
"""Turns the output of tools/bench into BENCHMARKS.md's table and the search-time plot.

Reads <dir>/native.json, <dir>/wine.json (Google Benchmark) and <dir>/native.csv,
<dir>/wine.csv (one search time per seed) and writes <dir>/table.md and
<dir>/search_times.mvg.

With --wasm <dir> <rounds>: reads <dir>/native-<k>.json and <dir>/wasm-<k>.json for each
round k and writes <dir>/wasm.md, the median of the rounds for each benchmark.
"""
import csv
import json
import math
import sys
from pathlib import Path

from roses_testing.figures import percentile

POINTS_PER_ORBIT = 1024 * 8  # interpolated points of a full-length orbit


def load_benchmarks(path):
    """Wall times in microseconds by benchmark name."""
    scale = {"ns": 1e-3, "us": 1.0, "ms": 1e3, "s": 1e6}
    result = {}
    for b in json.loads(path.read_text())["benchmarks"]:
        result[b["name"]] = b["real_time"] * scale[b["time_unit"]]
    return result


def load_context(path):
    return json.loads(path.read_text())["context"]


def load_searches(path):
    """Search times in milliseconds per seed, by evaluation (reference, fast)."""
    # Google Benchmark may run a benchmark more than once (a trial, then the measured run):
    # the last run's figures count.
    by_seed = {}
    with path.open() as f:
        for row in csv.DictReader(f):
            by_seed[(row["evaluation"], int(row["seed"]))] = (float(row["ms"]),
                                                              int(row["candidates"]))
    times = {}
    candidates = {}
    for (evaluation, _), (ms, tried) in sorted(by_seed.items()):
        times.setdefault(evaluation, []).append(ms)
        candidates.setdefault(evaluation, []).append(tried)
    return times, candidates


def figures(bench, searches):
    """(reference, fast) pairs per table row."""
    ref = bench["BM_evaluate_full_length_reference"]
    fast = bench["BM_evaluate_full_length"]
    rows = [
        ("full-length orbit (µs)", ref, fast),
        ("interpolated point (ns)", ref * 1e3 / POINTS_PER_ORBIT, fast * 1e3 / POINTS_PER_ORBIT),
    ]
    if "BM_evaluate_full_length_sse2" in bench:
        rows.append(("full-length orbit, SSE2 kernel only (µs)", ref,
                     bench["BM_evaluate_full_length_sse2"]))
    for label, fraction in (("median", 0.5), ("99th percentile", 0.99), ("max", 1.0)):
        rows.append((f"accepted rose, {label} (ms)", percentile(searches["reference"], fraction),
                     percentile(searches["fast"], fraction)))
    rows.append(("accepted rose, mean (ms)", sum(searches["reference"]) / len(searches["reference"]),
                 sum(searches["fast"]) / len(searches["fast"])))
    return rows


def number(value):
    if value >= 100:
        return f"{value:.0f}"
    if value >= 10:
        return f"{value:.1f}"
    return f"{value:.2f}"


def table(native, wine, seeds, same_candidates, contexts):
    lines = [
        f"| per | native reference | native fast | ratio | Wine reference | Wine fast | ratio |",
        "|---|---:|---:|---:|---:|---:|---:|",
    ]
    for (label, nr, nf), (_, wr, wf) in zip(native, wine):
        lines.append(f"| {label} | {number(nr)} | {number(nf)} | {nr / nf:.0f}× "
                     f"| {number(wr)} | {number(wf)} | {wr / wf:.0f}× |")
    lines.append("")
    lines.append(f"- Accepted roses: seeds 1 to {seeds}, each searched from a fresh shape. "
                 "The reference and the fast search tried the same number of candidates for "
                 f"every seed: {'yes' if same_candidates else 'NO'}.")
    for name, context in contexts:
        load = ", ".join(f"{x:.2f}" for x in context.get("load_avg", []))
        lines.append(f"- {name}: {context.get('num_cpus')} × {context.get('mhz_per_cpu')} MHz, "
                     f"load average {load or 'not reported'}, {context.get('date')}.")
    return "\n".join(lines) + "\n"


def plot(curves, path):
    """Cumulative distributions of the search times on a logarithmic time axis, drawn in
    ImageMagick's own vector format (MVG), which its convert turns into a PNG."""
    width, height = 900, 520
    left, right, top, bottom = 80, 30, 50, 70
    every = [t for _, _, times in curves for t in times]
    low = 10 ** math.floor(math.log10(max(min(every), 1e-3)))
    high = 10 ** math.ceil(math.log10(max(every)))

    def x(ms):
        span = math.log10(high) - math.log10(low)
        return left + (math.log10(max(ms, low)) - math.log10(low)) / span * (width - left - right)

    def y(fraction):
        return height - bottom - fraction * (height - top - bottom)

    def text(px, py, words, anchor="middle", size=14):
        return (f"push graphic-context fill black stroke none font-size {size} "
                f"text-anchor {anchor} text {px:.1f},{py:.1f} '{words}' pop graphic-context")

    out = [f"viewbox 0 0 {width} {height}", "font DejaVu-Sans",
           f"fill white stroke none rectangle 0,0 {width},{height}",
           text(width / 2, 28, "Search time per accepted rose: share of seeds done within a time",
                size=17)]
    grid = "push graphic-context stroke #dddddd stroke-width 1 fill none line {} pop graphic-context"
    decade = low
    while decade <= high * 1.0001:
        out.append(grid.format(f"{x(decade):.1f},{y(0):.1f} {x(decade):.1f},{y(1):.1f}"))
        out.append(text(x(decade), y(0) + 20, f"{decade:g}"))
        decade *= 10
    for tick in (0, 0.25, 0.5, 0.75, 1.0):
        out.append(grid.format(f"{left},{y(tick):.1f} {width - right},{y(tick):.1f}"))
        out.append(text(left - 8, y(tick) + 5, f"{tick:g}", anchor="end"))
    out.append(text((left + width - right) / 2, height - 22, "milliseconds (logarithmic)"))
    out.append(f"push graphic-context translate 26,{(top + height - bottom) / 2:.1f} rotate -90 "
               + text(0, 0, "share of seeds") + " pop graphic-context")
    for k, (label, colour, times) in enumerate(curves):
        ordered = sorted(times)
        steps = [f"{x(ordered[0]):.1f},{y(0):.1f}"]
        for i, t in enumerate(ordered):
            steps.append(f"{x(t):.1f},{y(i / len(ordered)):.1f}")
            steps.append(f"{x(t):.1f},{y((i + 1) / len(ordered)):.1f}")
        dash = "stroke-dasharray 7 4" if "Wine" in label else ""
        style = f"push graphic-context stroke {colour} stroke-width 2 fill none {dash}"
        out.append(f"{style} polyline {' '.join(steps)} pop graphic-context")
        ly = top + 20 + 22 * k
        out.append(f"{style} line {left + 15},{ly} {left + 50},{ly} pop graphic-context")
        out.append(text(left + 58, ly + 5, label, anchor="start"))
    path.write_text("\n".join(out) + "\n")


def wasm_table(directory, rounds):
    runs = {"native": [], "wasm": []}
    for k in range(1, rounds + 1):
        for side in runs:
            runs[side].append(load_benchmarks(directory / f"{side}-{k}.json"))

    def median(side, name):
        return percentile([run[name] for run in runs[side]], 0.5)

    rows = [
        ("full-length orbit, literal evaluation (µs)", "BM_evaluate_full_length_reference", 1),
        ("full-length orbit, fast evaluation (µs)", "BM_evaluate_full_length", 1),
        ("full-length orbit, fast evaluation, SSE2 kernel (µs)", "BM_evaluate_full_length_sse2",
         1),
        ("interpolated point, fast evaluation (ns)", "BM_evaluate_full_length",
         1e3 / POINTS_PER_ORBIT),
        ("escaping candidate (ns)", "BM_evaluate_escape", 1e3),
        # One iteration of the search benchmark searches seeds 1 to 50 (its default).
        ("accepted rose, fast search, mean over seeds 1-50 (ms)", "BM_search", 1e-3 / 50),
    ]
    lines = ["| per | native | wasm | wasm / native |", "|---|---:|---:|---:|"]
    for label, name, scale in rows:
        native, wasm = median("native", name) * scale, median("wasm", name) * scale
        lines.append(f"| {label} | {number(native)} | {number(wasm)} | {wasm / native:.1f}× |")
    lines.append("")
    # The wasm build's own report of the processor is not the machine's (emscripten has no
    # view of it), so the native run's stands for both.
    context = load_context(directory / "native-1.json")
    load = ", ".join(f"{x:.2f}" for x in context.get("load_avg", []))
    lines.append(f"- Median of {rounds} rounds, each the native run then the wasm one, on "
                 f"{context.get('num_cpus')} × {context.get('mhz_per_cpu')} MHz, load average "
                 f"{load or 'not reported'} at the start, {context.get('date')}.")
    (directory / "wasm.md").write_text("\n".join(lines) + "\n")


def main():
    if len(sys.argv) > 1 and sys.argv[1] == "--wasm":
        wasm_table(Path(sys.argv[2]), int(sys.argv[3]))
        return
    directory = Path(sys.argv[1] if len(sys.argv) > 1 else "build/bench")
    native_bench = load_benchmarks(directory / "native.json")
    wine_bench = load_benchmarks(directory / "wine.json")
    native_search, native_candidates = load_searches(directory / "native.csv")
    wine_search, wine_candidates = load_searches(directory / "wine.csv")
    seeds = len(native_search["fast"])
    same = (native_candidates["reference"] == native_candidates["fast"] ==
            wine_candidates["reference"] == wine_candidates["fast"])
    contexts = [("Native", load_context(directory / "native.json")),
                ("Wine", load_context(directory / "wine.json"))]
    (directory / "table.md").write_text(
        table(figures(native_bench, native_search), figures(wine_bench, wine_search), seeds,
              same, contexts))
    plot([("reference, native", "#c0392b", native_search["reference"]),
          ("fast, native", "#2471a3", native_search["fast"]),
          ("reference, Wine", "#e59866", wine_search["reference"]),
          ("fast, Wine", "#76b7e5", wine_search["fast"])],
         directory / "search_times.mvg")


if __name__ == "__main__":
    main()
