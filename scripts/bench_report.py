#!/usr/bin/env python3
"""Turns q6bench's JSON output into the results table.

    bench_report.py INPUT.json [MORE.json ...] --out-dir DIR [--plot FILE.png] [--quick]

Reads the benchmarks (of every input, in order: q6bench's, then the Python
client's bench/python_bench.py) that follow the convention of bench/README.md (counters
system, baseline, ratio, target, larger_better, scale_*, mem_*, text_*, step_s; label
"engine=... size=..."), takes the median over repetitions (the single run when
there was one repetition), prints one table and writes DIR/results.md and
DIR/results.json; with --plot, a PNG of time per step against the number of
records for the stepping benchmarks, drawn by gnuplot.

Exit status: 1 when a benchmark reported an error or none ran (a broken
benchmark), else 0. Targets missed do not change it: the machines are shared
and noisy, the table is for a reader. With --quick nothing is judged.
"""
import argparse
import json
import os
import platform
import re
import shutil
import subprocess
import sys

# Fields of a benchmark entry that are not user counters.
STANDARD = {
    "name", "family_index", "per_family_instance_index", "run_name", "run_type",
    "repetitions", "repetition_index", "threads", "iterations", "real_time",
    "cpu_time", "time_unit", "label", "error_occurred", "error_message",
    "aggregate_name", "aggregate_unit", "items_per_second", "bytes_per_second",
}
TIME_UNITS = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}
# Parts of a benchmark name that say how it was run, not what it measures.
RUN_PARTS = re.compile(r"^(iterations:\d+|repeats:\d+|manual_time|real_time|"
                       r"min_time:[\d.]+|process_time)$")


def parse_label(label):
    """'engine=SQLite size=1000 x' -> {'engine': 'SQLite', 'size': '1000'}."""
    out = {}
    for item in (label or "").split():
        if "=" in item:
            key, value = item.split("=", 1)
            out[key] = value
    return out


def medians(entries):
    """One entry per run_name: the median aggregate, else the single run.

    Returns (runs, errors): runs in the order they first appear, errors as
    (run_name, message) for every run that reported one.
    """
    order, chosen, errors = [], {}, []
    for e in entries:
        name = e.get("run_name", e["name"])
        if e.get("error_occurred"):
            errors.append((name, e.get("error_message", "")))
            continue
        if name not in order:
            order.append(name)
        if e.get("run_type") == "aggregate":
            if e.get("aggregate_name") == "median":
                chosen[name] = e  # aggregates follow their repetitions
        else:
            chosen.setdefault(name, e)
    return [chosen[n] for n in order if n in chosen], errors


def describe(entry):
    """Display name, engine and size of a run: from the label, else the name."""
    label = parse_label(entry.get("label"))
    parts = [p for p in entry.get("run_name", entry["name"]).split("/") if not RUN_PARTS.match(p)]
    engine = label.get("engine", "")
    if not engine:
        for p in parts:
            if re.search(r"sqlite", p, re.I):
                engine = "SQLite"
            elif re.search(r"postgres", p, re.I):
                engine = "PostgreSQL"
    size = label.get("size", "")
    shown = [p for p in parts if p != engine and not (engine and p.startswith("engine:"))
             and not (size and (p == size or p.endswith(":" + size)))]
    name = re.sub(r"^BM_", "", shown[0]) if shown else entry["name"]
    if len(shown) > 1:
        name += " (" + ", ".join(shown[1:]) + ")"
    return name, engine or "-", size or "-"


def fmt_time(seconds):
    if seconds is None:
        return "-"
    for unit, scale in (("s", 1.0), ("ms", 1e-3), ("us", 1e-6)):
        if abs(seconds) >= scale:
            return f"{seconds / scale:.3g} {unit}"
    return f"{seconds / 1e-9:.3g} ns"


def fmt_bytes(n):
    if n is None:
        return "-"
    for unit, scale in (("GB", 1 << 30), ("MB", 1 << 20), ("kB", 1 << 10)):
        if abs(n) >= scale:
            return f"{n / scale:.3g} {unit}"
    return f"{n:.0f} B"


def judged_rows(entry, quick):
    """The table rows of one run: its comparison, its scaling and its memory one."""
    name, engine, size = describe(entry)
    rows = []
    for prefix, measure, suffix in (("", "time", ""), ("scale_", "time", " [vs {from}]"),
                                    ("mem_", "memory", " [memory]")):
        if prefix + "target" not in entry:
            continue
        target = entry[prefix + "target"]
        larger = entry.get(prefix + "larger_better", 0) >= 0.5
        ratio = entry.get(prefix + "ratio")
        if ratio is not None:
            value, shown_target = ratio, ("≥ " if larger else "≤ ") + f"{target:g}x"
        else:  # a fixed budget for the system's own time
            value, shown_target = entry.get(prefix + "system"), "≤ " + fmt_time(target)
        met = None
        if value is not None and not quick:
            met = value >= target if larger else value <= target
        rows.append({"benchmark": name + suffix.format(**{"from": f"{entry.get('scale_from', 0):g}"}),
                     "engine": engine, "size": size, "measure": measure,
                     "system": entry.get(prefix + "system"),
                     "baseline": entry.get(prefix + "baseline"), "ratio": ratio,
                     "target": target, "larger_better": larger, "target_text": shown_target,
                     "met": met})
    if "text_ratio" in entry:  # informational: a text-per-call client, nothing judged
        rows.append({"benchmark": name + " [vs text-per-call client]", "engine": engine,
                     "size": size, "measure": "time", "system": entry.get("text_system"),
                     "baseline": entry.get("text_baseline"), "ratio": entry["text_ratio"],
                     "target": None, "larger_better": entry.get("larger_better", 0) >= 0.5,
                     "target_text": "-", "met": None})
    return rows


def table_lines(rows):
    head = ["benchmark", "engine", "size", "system", "baseline", "ratio", "target", "met"]
    body = []
    for r in rows:
        fmt = fmt_bytes if r["measure"] == "memory" else fmt_time
        body.append([r["benchmark"], r["engine"], r["size"], fmt(r["system"]),
                     fmt(r["baseline"]), "-" if r["ratio"] is None else f"{r['ratio']:.3g}x",
                     r["target_text"], {True: "yes", False: "NO", None: "-"}[r["met"]]])
    return head, body


def markdown(head, body):
    lines = ["| " + " | ".join(head) + " |", "|" + "---|" * len(head)]
    lines += ["| " + " | ".join(str(c) for c in row) + " |" for row in body]
    return "\n".join(lines)


def plain(head, body):
    widths = [max(len(str(r[i])) for r in [head] + body) for i in range(len(head))]
    out = ["  ".join(str(c).ljust(w) for c, w in zip(head, widths))]
    out.append("  ".join("-" * w for w in widths))
    out += ["  ".join(str(c).ljust(w) for c, w in zip(row, widths)) for row in body]
    return "\n".join(out)


def machine(context):
    model = "unknown"
    try:
        with open("/proc/cpuinfo", encoding="utf-8") as f:
            for line in f:
                if line.startswith("model name"):
                    model = line.split(":", 1)[1].strip()
                    break
    except OSError:
        pass
    return {"cpu_model": model, "nproc": os.cpu_count(),
            "mhz_per_cpu": context.get("mhz_per_cpu"), "kernel": platform.release(),
            "date": context.get("date"), "load_avg": context.get("load_avg")}


def step_series(runs):
    """{(benchmark, engine): [(size, seconds per step)]} of the stepping runs."""
    series = {}
    for e in runs:
        if "step_s" not in e:
            continue
        name, engine, size = describe(e)
        try:
            records = int(size)
        except ValueError:
            continue
        series.setdefault((name, engine), []).append((records, e["step_s"]))
    return {k: sorted(v) for k, v in series.items() if len(v) > 1}


def plot(series, png):
    """Draws the stepping series with gnuplot; returns False when it cannot."""
    if not series or not shutil.which("gnuplot"):
        return False
    sizes = [n for points in series.values() for n, _ in points]
    script = ["set terminal pngcairo size 1000,560 noenhanced", f"set output '{png}'",
              "set logscale xy", "set grid", "set key outside right top",
              f"set xrange [{min(sizes) / 2:g}:{max(sizes) * 2:g}]",
              "set xlabel 'records'", "set ylabel 'time per step (us)'",
              "set title 'Time per step against the number of records (medians)'"]
    plots = []
    for i, ((name, engine), points) in enumerate(sorted(series.items())):
        script.append(f"$s{i} << EOD")
        script += [f"{n} {s * 1e6:.6g}" for n, s in points]
        script.append("EOD")
        plots.append(f"$s{i} using 1:2 with linespoints title '{name}, {engine}'")
    script.append("plot " + ", ".join(plots))
    done = subprocess.run(["gnuplot"], input="\n".join(script) + "\n", text=True)
    return done.returncode == 0


def workstation_lines(runs):
    """The many-workstations runs (counter calls_per_s) as a markdown table:
    clients, route, throughput, server connections, p50 / p99 per call."""
    runs = [e for e in runs if "calls_per_s" in e]
    calls = sorted({k[4:-3] for e in runs for k in e if k.startswith("p50_") and k.endswith("_ms")})
    if not runs:
        return []
    head = (["clients", "route", "calls/s", "failed calls", "server connections"]
            + [f"{c} p50 / p99" for c in calls])
    body = []
    for e in runs:
        row = [f"{e['clients']:.0f}", "pooler" if e.get("pooled") else "direct",
               f"{e['calls_per_s']:.1f}", f"{e.get('errors', 0):.0f}", f"{e['server_conns']:.0f}"]
        for c in calls:
            p50, p99 = e.get(f"p50_{c}_ms"), e.get(f"p99_{c}_ms")
            row.append("-" if p50 is None else f"{p50:.1f} / {p99:.1f} ms")
        body.append(row)
    return [markdown(head, body)]


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("inputs", nargs="+")
    ap.add_argument("--out-dir", required=True)
    ap.add_argument("--plot", help="PNG file for the stepping benchmarks")
    ap.add_argument("--quick", action="store_true", help="nothing is judged")
    args = ap.parse_args()

    data = {"benchmarks": []}
    for path in args.inputs:
        try:
            with open(path, encoding="utf-8") as f:
                part = json.load(f)
        except (OSError, ValueError) as e:  # a run that crashed leaves a cut-off file
            print(f"cannot read {path}: {e}", file=sys.stderr)
            return 1
        data.setdefault("context", part.get("context", {}))
        data["benchmarks"] += part.get("benchmarks", [])
    runs, errors = medians(data["benchmarks"])
    rows = [row for e in runs for row in judged_rows(e, args.quick)]
    others = [describe(e) + (fmt_time(e["real_time"] * TIME_UNITS[e.get("time_unit", "ns")]),)
              for e in runs if not any(k in e for k in ("target", "scale_target", "mem_target"))
              and "calls_per_s" not in e]
    series = step_series(runs)
    info = machine(data.get("context", {}))
    reps = max((e.get("repetitions", 1) for e in runs), default=0)

    head, body = table_lines(rows)
    print(plain(head, body))
    met = sum(1 for r in rows if r["met"])
    judged = sum(1 for r in rows if r["met"] is not None)
    print(f"\n{len(runs)} benchmarks, {len(rows)} comparisons"
          + ("" if args.quick else f", {met} of {judged} targets met")
          + (f"; medians of {reps} repetitions" if reps > 1 else "; one repetition"))

    os.makedirs(args.out_dir, exist_ok=True)
    png_ok = bool(args.plot) and plot(series, args.plot)
    if args.plot and series and not png_ok:
        print("no plot: gnuplot is missing or failed", file=sys.stderr)
    load = info["load_avg"]
    md = ["# Benchmark results", "",
          f"Machine: {info['nproc']} x {info['cpu_model']} ({info['mhz_per_cpu']} MHz), "
          f"Linux {info['kernel']}; run {info['date']}"
          + (f", load average {load[0]:.2f} at the start" if load else "") + ".",
          (f"Every value is the median of {reps} repetitions in one run; " if reps > 1 else
           "One repetition: every value is from a single run; ") + "ratio = system / "
          "baseline for times (≤ target is met), system rate / baseline rate for throughputs "
          "(≥ target is met). The baseline runs the same statements through the engine's own "
          "client library (sqlite3, libpq; for the Python rows, Python's sqlite3 module), "
          "as a careful programmer writes it: statements prepared once and values bound. Rows "
          "marked [vs text-per-call client] compare with a client that writes the values into "
          "each statement's text instead; they judge nothing.", "", markdown(head, body)]
    if others:
        md += ["", "## Baselines and other measurements", "",
               markdown(["benchmark", "engine", "size", "time"], [list(o) for o in others])]
    stations = workstation_lines(runs)
    if stations:
        md += ["", "## Many workstations", "",
               "N client processes running the office's mix with 100-300 ms of think time "
               "between calls, straight to the server and through the pooler (transaction "
               "mode, at most 20 server connections); server connections = the most client "
               "sessions the server had at once.", ""] + stations
    if png_ok:
        md += ["", "## Scaling of the stepping benchmarks", "",
               f"![time per step]({os.path.relpath(args.plot, args.out_dir)})"]
    if errors:
        md += ["", "## Errors", ""] + [f"- {n}: {m}" for n, m in errors]
    with open(os.path.join(args.out_dir, "results.md"), "w", encoding="utf-8") as f:
        f.write("\n".join(md) + "\n")
    with open(os.path.join(args.out_dir, "results.json"), "w", encoding="utf-8") as f:
        json.dump({"machine": info, "repetitions": reps, "quick": args.quick, "rows": rows,
                   "steps": [{"benchmark": n, "engine": e, "points": p}
                             for (n, e), p in sorted(series.items())],
                   "errors": [{"benchmark": n, "message": m} for n, m in errors]},
                  f, indent=1, ensure_ascii=False)
        f.write("\n")

    for name, message in errors:
        print(f"error: {name}: {message}", file=sys.stderr)
    if errors or not runs:
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
