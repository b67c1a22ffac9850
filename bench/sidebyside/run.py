#!/usr/bin/env python3
"""Runs ZanScript and the two baselines side by side on the same files.

For each size: every program once per round, alternating, five rounds; the
median CPU time (user + sys) and peak resident memory of each, the ratios
against B1 (CPython) and B2 (plain C++), and the heap the loaded document
holds per line. Every run's result is checked first: the joined text must
match B1's, and a save must give the input back byte for byte. Then it
draws CPU time and memory against the number of lines (SVG, gnuplot).

usage: run.py BIN_DIR DATA_DIR OUT_SVG [--sizes 250000,1000000,4000000] [--rounds 5]
"""
import argparse
import filecmp
import os
import statistics
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))


def run_once(argv):
    """(cpu seconds, peak KiB, stdout, stderr) of one run, measured by wait4."""
    read_out, write_out = os.pipe()
    read_err, write_err = os.pipe()
    pid = os.fork()
    if pid == 0:
        os.dup2(write_out, 1)
        os.dup2(write_err, 2)
        os.close(read_out)
        os.close(read_err)
        os.execvp(argv[0], argv)
    os.close(write_out)
    os.close(write_err)
    out = b""
    err = b""
    with os.fdopen(read_out, "rb") as o, os.fdopen(read_err, "rb") as e:
        out = o.read()
        err = e.read()
    _, status, usage = os.wait4(pid, 0)
    if status != 0:
        sys.exit("failed: %s\n%s" % (" ".join(argv), err.decode()))
    return usage.ru_utime + usage.ru_stime, usage.ru_maxrss, out.decode().strip(), err.decode().strip()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("bin")
    parser.add_argument("data")
    parser.add_argument("svg")
    parser.add_argument("--sizes", default="250000,1000000,4000000")
    parser.add_argument("--rounds", type=int, default=5)
    args = parser.parse_args()
    library = os.path.join(args.bin, "libZanScript.so")
    host = os.path.join(args.bin, "zan_sidebyside")
    os.makedirs(args.data, exist_ok=True)
    rows = []
    for size in [int(s) for s in args.sizes.split(",")]:
        path = os.path.join(args.data, "script-%d.script" % size)
        if not os.path.exists(path):
            subprocess.check_call([sys.executable, os.path.join(HERE, "generate_script.py"), path, str(size)])
        saved = os.path.join(args.data, "saved-%d.script" % size)
        programs = {
            "B1 load+concat": [sys.executable, os.path.join(HERE, "baseline.py"), "concat", path],
            "B1 load+save": [sys.executable, os.path.join(HERE, "baseline.py"), "save", path, saved],
            "B2 load+concat": [os.path.join(args.bin, "zan_baseline_cpp"), path],
            "ZanScript load+concat": [host, library, "concat", path],
            "ZanScript load+save": [host, library, "save", path, saved],
            "ScriptLoad load+concat": [host, library, "scriptload", path],
        }
        times = {name: [] for name in programs}
        peaks = {name: [] for name in programs}
        held = None
        expected = None
        for _ in range(args.rounds):
            for name, argv in programs.items():
                cpu, peak, out, err = run_once(argv)
                times[name].append(cpu)
                peaks[name].append(peak)
                if "save" in name:
                    if not filecmp.cmp(path, saved, shallow=False):
                        sys.exit("%s: the saved file differs from the input" % name)
                    os.remove(saved)
                else:
                    expected = expected or out
                    if out != expected:
                        sys.exit("%s: %s, expected %s" % (name, out, expected))
                if err.startswith("held"):
                    held = float(err.split()[1])
        med = {name: statistics.median(t) for name, t in times.items()}
        peak = {name: statistics.median(p) / 1024 for name, p in peaks.items()}
        print("\n%d lines (%.1f MB), median of %d, checks passed" % (size, os.path.getsize(path) / 1e6, args.rounds))
        print("  %-24s %9s %9s %8s %8s" % ("", "CPU s", "peak MB", "vs B1", "vs B2"))
        for name in programs:
            b1 = med["B1 load+save"] if "save" in name else med["B1 load+concat"]
            print("  %-24s %9.2f %9.0f %7.2fx %7.2fx" % (name, med[name], peak[name], med[name] / b1,
                                                        med[name] / med["B2 load+concat"]))
        print("  ZanScript document holds %.0f bytes/line" % held)
        rows.append((size, med, peak, held))
    for smaller, larger in zip(rows, rows[1:]):
        print("\nscaling %d -> %d lines (%.1fx): ZanScript load+concat %.2fx the time" % (
            smaller[0], larger[0], larger[0] / smaller[0],
            larger[1]["ZanScript load+concat"] / smaller[1]["ZanScript load+concat"]))
    plot(rows, args.svg, args.data)


def plot(rows, svg, data_dir):
    names = ["ZanScript load+concat", "B1 load+concat", "B2 load+concat"]
    table = os.path.join(data_dir, "scaling.dat")
    with open(table, "w") as f:
        for size, med, peak, _ in rows:
            f.write("%f %s %s\n" % (size / 1e6, " ".join("%f" % med[n] for n in names),
                                    " ".join("%f" % peak[n] for n in names)))
    script = """
set terminal svg size 900,380 font "sans,12" background rgb "white"
set output '%s'
set multiplot layout 1,2 title "Load a saved script and join its text (Linux, median of runs)"
set key top left
set grid
set xlabel "lines (millions)"
set ylabel "CPU seconds (user + sys)"
plot '%s' using 1:2 with linespoints lw 2 title "ZanScript", '' using 1:3 with linespoints lw 2 title "B1 CPython", '' using 1:4 with linespoints lw 2 title "B2 plain C++"
set ylabel "peak resident MB"
plot '%s' using 1:5 with linespoints lw 2 title "ZanScript", '' using 1:6 with linespoints lw 2 title "B1 CPython", '' using 1:7 with linespoints lw 2 title "B2 plain C++"
unset multiplot
""" % (svg, table, table)
    subprocess.run(["gnuplot"], input=script.encode(), check=True)
    print("\nplot: %s" % svg)


if __name__ == "__main__":
    main()
