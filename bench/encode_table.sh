#!/bin/sh
# Runs encode_bench three times (random interleaving, repetitions) and prints the
# Markdown table of how many times faster our encoder is than each peer: per case,
# the median of the three runs' ratios with their range. Each run's figure is the
# ratio of the medians of its repetitions.
#   bench/encode_table.sh [build/bin/encode_bench] [repetitions]
set -eu
bench=${1:-build/bin/encode_bench}
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

cases = [("abc_v1", '"abc", v1'), ("url60_v5", "60-byte URL, v5"), ("lower1663_v40", "1663 lower-case bytes, v40"),
         ("digits2000_v28", "2000 digits, v28"), ("chinese300_v29", "300 Chinese characters (UTF-8), v29")]
runs = []
for path in sys.argv[1:]:
    times = {}
    for b in json.load(open(path))["benchmarks"]:
        if b.get("aggregate_name") == "median":
            times[(b["run_name"].rsplit("/", 1)[0], b["label"])] = b["real_time"]
    runs.append(times)

def cell(ours, peer, case):
    ratios = sorted(r[(peer, case)] / r[(ours, case)] for r in runs)
    return f"{statistics.median(ratios):.1f}x [{ratios[0]:.1f}–{ratios[-1]:.1f}]"

def micros(name, case):
    return f"{statistics.median(r[(name, case)] for r in runs) / 1000:.1f}"

columns = [("ours/cold/mask0", "qrencode/mask0"), ("ours/cold/auto", "qrencode/auto"),
           ("ours/warm/mask0", "qrencode/mask0"), ("ours/warm/auto", "qrencode/auto"),
           ("ours/cold/mask0", "qrcodegen/mask0"), ("ours/cold/auto", "qrcodegen/auto")]
print("| case | cold, mask 0 (µs) | cold, auto (µs) | cold vs libqrencode, mask 0 | cold vs libqrencode, auto "
      "| warm vs libqrencode, mask 0 | warm vs libqrencode, auto | cold vs qrcodegen, mask 0 | cold vs qrcodegen, auto |")
print("|---|---|---|---|---|---|---|---|---|")
for key, title in cases:
    row = [title, micros("ours/cold/mask0", key), micros("ours/cold/auto", key)]
    row += [cell(ours, peer, key) for ours, peer in columns]
    print("| " + " | ".join(row) + " |")
PY
