#!/bin/sh
# Runs micro_bench three times (random interleaving, repetitions) and prints the
# Markdown table of how many times faster EncodeMicro is than libqrencode's
# QRcode_encodeStringMQR: per case, the median of the three runs' ratios with their
# range. Each run's figure is the ratio of the medians of its repetitions.
#   bench/micro_table.sh [build/bin/micro_bench] [repetitions]
set -eu
bench=${1:-build/bin/micro_bench}
repetitions=${2:-5}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT INT TERM
for run in 1 2 3; do
    "$bench" --benchmark_enable_random_interleaving=true --benchmark_repetitions="$repetitions" \
        --benchmark_min_time=0.05 --benchmark_report_aggregates_only=true \
        --benchmark_out="$out/run$run.json" --benchmark_out_format=json >/dev/null 2>&1
done
python3 - "$out"/run1.json "$out"/run2.json "$out"/run3.json <<'PY'
import json, statistics, sys

cases = [("digits5_M1", "5 digits, M1"), ("alnum6_M2L", "6 alphanumerics, M2-L"),
         ("mixed11_M3M", "11 mixed (byte + numeric), M3-M"), ("lower13_M4M", "13 lower-case bytes, M4-M"),
         ("digits21_M4Q", "21 digits, M4-Q")]
runs = []
for path in sys.argv[1:]:
    times = {}
    for b in json.load(open(path))["benchmarks"]:
        if b.get("aggregate_name") == "median":
            for clock in ("real_time", "cpu_time"):
                times[(b["run_name"].rsplit("/", 1)[0], b["label"], clock)] = b[clock]
    runs.append(times)

def cell(case, clock):
    ratios = sorted(r[("Libqrencode", case, clock)] / r[("Ours", case, clock)] for r in runs)
    return f"{statistics.median(ratios):.1f}x [{ratios[0]:.1f}–{ratios[-1]:.1f}]"

def nanos(name, case):
    return f"{statistics.median(r[(name, case, 'cpu_time')] for r in runs):.0f}"

print("| case | EncodeMicro (ns, CPU) | libqrencode (ns, CPU) | faster, wall clock | faster, CPU time |")
print("|---|---|---|---|---|")
for key, title in cases:
    row = [title, nanos("Ours", key), nanos("Libqrencode", key), cell(key, "real_time"), cell(key, "cpu_time")]
    print("| " + " | ".join(row) + " |")
PY
