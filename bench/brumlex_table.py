#!/usr/bin/python3
"""Compares bench/brumlex with Debian's zopfli on dumped filtered rows.

usage: brumlex_table.py ROWS_DIR BRUMLEX [--levels 1,3,5] [--variant LABEL=ARGS ...]
                        [--no-zopfli] [--i1000-limit BYTES] [--out FILE] [--zopfli-cache FILE]

For each .raw file of ROWS_DIR (see dump_filtered_rows.py): the zlib size
and CPU seconds (user + system of the child, from getrusage) of `brumlex
--level N` for each level, `zopfli --zlib --i15` and `zopfli --zlib --i1000`
(the latter only for files up to --i1000-limit bytes; the others show "-"
and are left out of its totals and of the ratios against it).  Every stream
is inflated with zlib and compared with its input; a mismatch aborts.
Zopfli's results can be cached in a JSON file, since they never change.
A --variant is one more brumlex column with its own arguments (for example
no-split="--level 5 --blocks 1"), to measure what each part buys; the
ratio lines compare the last column with zopfli.
"""
import argparse
import json
import os
import resource
import subprocess
import sys
import tempfile
import zlib


def run_cpu(cmd, stdout=None):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    subprocess.run(cmd, check=True, stdout=stdout, stderr=subprocess.DEVNULL)
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    return (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)


def checked_size(path, original, label):
    with open(path, "rb") as f:
        stream = f.read()
    if zlib.decompress(stream) != original:
        sys.exit("%s: stream does not inflate to its input" % label)
    return len(stream)


def zopfli(path, iterations, tmp, original):
    out = os.path.join(tmp, "z.zlib")
    with open(out, "wb") as f:
        cpu = run_cpu(["zopfli", "--zlib", "--i%d" % iterations, "-c", path], stdout=f)
    return checked_size(out, original, path), cpu


def zopfli_columns(row, name, path, original, with_i1000, cache, tmp):
    for iterations in (15, 1000) if with_i1000 else (15,):
        key = "%s:%d:%d" % (name, iterations, len(original))
        if key not in cache:
            cache[key] = zopfli(path, iterations, tmp, original)
        row["zopfli-i%d" % iterations] = tuple(cache[key])


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("rows")
    ap.add_argument("brumlex")
    ap.add_argument("--levels", default="1,2,3,4,5")
    ap.add_argument("--variant", action="append", default=[])
    ap.add_argument("--no-zopfli", action="store_true")
    ap.add_argument("--i1000-limit", type=int, default=1 << 30)
    ap.add_argument("--out")
    ap.add_argument("--zopfli-cache")
    args = ap.parse_args()
    brumlex = [("L%s" % l, ["--level", l]) for l in args.levels.split(",") if l]
    for v in args.variant:
        label, _, rest = v.partition("=")
        brumlex.append((label, rest.split()))
    cache = {}
    if args.zopfli_cache and os.path.exists(args.zopfli_cache):
        with open(args.zopfli_cache) as f:
            cache = json.load(f)

    names = sorted(n for n in os.listdir(args.rows) if n.endswith(".raw"))
    cols = [label for label, _ in brumlex] + ([] if args.no_zopfli else ["zopfli-i15", "zopfli-i1000"])
    totals = {c: [0, 0.0] for c in cols}
    subset = {c: [0, 0.0] for c in cols}  # files that have an --i1000 result
    lines = []
    with tempfile.TemporaryDirectory() as tmp:
        for name in names:
            path = os.path.join(args.rows, name)
            with open(path, "rb") as f:
                original = f.read()
            row = {}
            for label, extra in brumlex:
                out = os.path.join(tmp, "b.zlib")
                cpu = run_cpu([args.brumlex, path, out] + extra)
                row[label] = (checked_size(out, original, name), cpu)
            if not args.no_zopfli:
                zopfli_columns(row, name, path, original, len(original) <= args.i1000_limit, cache, tmp)
            for c, v in row.items():
                totals[c][0] += v[0]
                totals[c][1] += v[1]
                if "zopfli-i1000" in row or args.no_zopfli:
                    subset[c][0] += v[0]
                    subset[c][1] += v[1]
            cells = "".join(" %12s %7s" % (row[c][0], "%.2f" % row[c][1]) if c in row else " %12s %7s" % ("-", "-")
                            for c in cols)
            lines.append("%-44s %9d%s" % (name[:44], len(original), cells))
            if args.zopfli_cache:
                with open(args.zopfli_cache, "w") as f:
                    json.dump(cache, f)

    head = "%-44s %9s" % ("file", "input") + "".join(" %12s %7s" % (c, "cpu s") for c in cols)
    out = [head] + lines
    out.append("%-44s %9s" % ("total", "") + "".join(" %12d %7.2f" % tuple(totals[c]) for c in cols))
    out.append("%-44s %9s" % ("total (files with --i1000)", "") + "".join(" %12d %7.2f" % tuple(subset[c]) for c in cols))
    top = cols[len(brumlex) - 1]
    for ref in ("zopfli-i15", "zopfli-i1000"):
        base = subset if ref == "zopfli-i1000" else totals
        if ref in base and base[ref][0]:
            out.append("%s bytes / %s: %.4f   cpu %s / %s: %.3f" % (
                top, ref, base[top][0] / base[ref][0], top, ref, base[top][1] / max(base[ref][1], 1e-9)))
    text = "\n".join(out) + "\n"
    sys.stdout.write(text)
    if args.out:
        with open(args.out, "w") as f:
            f.write(text)
    return 0


if __name__ == "__main__":
    sys.exit(main())
