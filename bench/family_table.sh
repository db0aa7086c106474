#!/bin/sh
# Runs a symbol family's benchmark three times (random interleaving, repetitions) and prints the Markdown
# table of how many times faster our encoder ("Ours") is than the peer benchmarked beside it: per case, the
# median of the three runs' ratios with their range. Each run's figure is the ratio of the medians of its
# repetitions. Cases are the benchmarks' labels, in their order.
#   bench/family_table.sh build/bin/micro_bench Libqrencode     (Micro QR against libqrencode)
#   bench/family_table.sh build/bin/rmqr_bench zint             (rMQR against zint's library; any case)
#   third argument: repetitions (5)
set -eu
bench=$1
peer=$2
repetitions=${3:-5}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT INT TERM
for run in 1 2 3; do
    "$bench" --benchmark_enable_random_interleaving=true --benchmark_repetitions="$repetitions" \
        --benchmark_min_time=0.05 --benchmark_report_aggregates_only=true \
        --benchmark_out="$out/run$run.json" --benchmark_out_format=json >/dev/null 2>&1
done
python3 - "$peer" "$out"/run1.json "$out"/run2.json "$out"/run3.json <<'PY'
import json, statistics, sys

peer = sys.argv[1].lower()
order, runs = {}, []
for path in sys.argv[2:]:
    times = {}
    for b in json.load(open(path))["benchmarks"]:
        if b.get("aggregate_name") == "median":
            name, index = b["run_name"].rsplit("/", 1)
            order[b["label"]] = int(index)
            for clock in ("real_time", "cpu_time"):
                times[(name.lower(), b["label"], clock)] = b[clock]
    runs.append(times)
cases = sorted(order, key=order.get)

def cell(case, clock):
    ratios = sorted(r[(peer, case, clock)] / r[("ours", case, clock)] for r in runs)
    return f"{statistics.median(ratios):.1f}x [{ratios[0]:.1f}–{ratios[-1]:.1f}]"

def nanos(name, case):
    return f"{statistics.median(r[(name, case, 'cpu_time')] for r in runs):.0f}"

print(f"| case | ours (ns, CPU) | {sys.argv[1]} (ns, CPU) | faster, wall clock | faster, CPU time |")
print("|---|---|---|---|---|")
for case in cases:
    row = [case, nanos("ours", case), nanos(peer, case), cell(case, "real_time"), cell(case, "cpu_time")]
    print("| " + " | ".join(row) + " |")
PY
