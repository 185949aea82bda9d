#!/usr/bin/env python3
"""Python client benchmarks: q6fdmgr against Python's own sqlite3 module.

    python_bench.py --out FILE.json [--repetitions N] [--quick] [--filter REGEX]

Each benchmark reads the same rows of one SQLite table both ways in the same
run and reports the ratio of the times, in the JSON shape q6bench writes
(Google Benchmark's), so that scripts/bench_report.py puts the rows into the
same results table (counters system, baseline, ratio, target; label
"engine=SQLite size=<rows>"). Both sides include running the statement.

  PythonFieldsItemValue  rs.Fields.Item(i).Value per value, against iterating
                         a sqlite3 cursor and indexing each row
  PythonDefaultValue     rs(i).Value per value (the recordset's default member),
                         against the same
  PythonGetRows          rs.GetRows() against cursor.fetchall()
  PythonGetString        rs.GetString() against cursor.fetchall()
  PythonDbapiFetchall    q6fdmgr.dbapi: cursor.execute(...).fetchall() against the
                         same with sqlite3

Q6_BENCH_QUICK=1 (or --quick) makes the table small; PYTHONPATH must reach
the built module (scripts/run-bench.sh sets it).
"""
import argparse
import datetime
import json
import os
import re
import sqlite3
import statistics
import sys
import tempfile
import time

import q6fdmgr as q
import q6fdmgr.dbapi as db

COLUMNS = 5
SQL = "select k, name, amount, code, n from t order by k"


def make_table(path, rows):
    con = sqlite3.connect(path)
    con.execute("create table t (k integer primary key, name text, amount real, code text, "
                "n integer)")
    con.executemany("insert into t values (?, ?, ?, ?, ?)",
                    ((i, "name %d" % i, i * 1.25, "C%05d" % (i % 997), i % 7 or None)
                     for i in range(rows)))
    con.commit()
    con.close()


def sqlite_values(path):
    con = sqlite3.connect(path)
    start = time.process_time()
    cur = con.execute(SQL)
    for row in cur:
        for i in range(COLUMNS):
            row[i]
    elapsed = time.process_time() - start
    con.close()
    return elapsed


def sqlite_fetchall(path):
    con = sqlite3.connect(path)
    start = time.process_time()
    con.execute(SQL).fetchall()
    elapsed = time.process_time() - start
    con.close()
    return elapsed


def q6_run(path, read):
    con = q.Dispatch("ADODB.Connection")
    con.Open("Driver=sqlite;Database=" + path)
    start = time.process_time()
    read(con.Execute(SQL))
    elapsed = time.process_time() - start
    con.Close()
    return elapsed


def q6_dbapi_fetchall(path):
    con = db.connect("Driver=sqlite;Database=" + path)
    start = time.process_time()
    con.cursor().execute(SQL).fetchall()
    elapsed = time.process_time() - start
    con.close()
    return elapsed


def fields_item_value(rs):
    while not rs.EOF:
        for i in range(COLUMNS):
            rs.Fields.Item(i).Value
        rs.MoveNext()


def default_value(rs):
    while not rs.EOF:
        for i in range(COLUMNS):
            rs(i).Value
        rs.MoveNext()


def reading(read):
    """A system run that reads the recordset of SQL with `read`."""
    return lambda path: q6_run(path, read)


# name, system run, baseline run, target (system time / baseline time)
BENCHMARKS = [
    ("PythonFieldsItemValue", reading(fields_item_value), sqlite_values, 1.5),
    ("PythonDefaultValue", reading(default_value), sqlite_values, 1.5),
    ("PythonGetRows", reading(lambda rs: rs.GetRows()), sqlite_fetchall, 1.2),
    ("PythonGetString", reading(lambda rs: rs.GetString()), sqlite_fetchall, 1.2),
    ("PythonDbapiFetchall", q6_dbapi_fetchall, sqlite_fetchall, 1.3),
]


def entry(name, rows, rep, reps, system, baseline, target, run_type="iteration", agg=None,
          ratio=None):
    e = {"name": name if agg is None else name + "_" + agg, "run_name": name,
         "run_type": run_type, "repetitions": reps, "repetition_index": rep, "threads": 1,
         "iterations": 1, "real_time": system * 1e9, "cpu_time": system * 1e9,
         "time_unit": "ns", "label": "engine=SQLite size=%d" % rows, "system": system,
         "baseline": baseline, "ratio": ratio or system / baseline, "target": target,
         "larger_better": 0}
    if agg:
        e["aggregate_name"] = agg
    return e


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--out", required=True)
    ap.add_argument("--repetitions", type=int,
                    default=int(os.environ.get("Q6_BENCH_REPETITIONS", "3")))
    ap.add_argument("--quick", action="store_true", default=bool(os.environ.get("Q6_BENCH_QUICK")))
    ap.add_argument("--filter", default=os.environ.get("Q6_BENCH_FILTER", ""))
    args = ap.parse_args()
    reps = 1 if args.quick else max(1, args.repetitions)
    rows = 1000 if args.quick else 100000
    chosen = [b for b in BENCHMARKS if re.search(args.filter, b[0])]

    out = []
    with tempfile.TemporaryDirectory() as tmp:
        path = os.path.join(tmp, "python_bench.db")
        make_table(path, rows)
        for name, system_run, baseline_run, target in chosen:
            run_name = "%s/engine:SQLite/rows:%d" % (name, rows)
            # One untimed round each way warms the page cache and the module.
            baseline_run(path)
            system_run(path)
            runs = []
            for rep in range(reps):
                baseline = baseline_run(path)
                system = system_run(path)
                runs.append((system, baseline))
                out.append(entry(run_name, rows, rep, reps, system, baseline, target))
            if reps > 1:
                # The median of each counter, as q6bench's aggregates are.
                system = statistics.median(s for s, _ in runs)
                baseline = statistics.median(b for _, b in runs)
                ratio = statistics.median(s / b for s, b in runs)
                out.append(entry(run_name, rows, 0, reps, system, baseline, target,
                                 "aggregate", "median", ratio))
            print("%-22s %8d rows  system %8.1f ms  baseline %8.1f ms  ratio %.2fx"
                  % (name, rows, system * 1e3, baseline * 1e3, out[-1]["ratio"]))
    context = {"date": datetime.datetime.now(datetime.timezone.utc).isoformat(timespec="seconds"),
               "load_avg": list(os.getloadavg()), "executable": sys.executable}
    with open(args.out, "w", encoding="utf-8") as f:
        json.dump({"context": context, "benchmarks": out}, f, indent=1)
    return 0


if __name__ == "__main__":
    sys.exit(main())
