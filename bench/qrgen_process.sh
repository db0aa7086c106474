#!/usr/bin/env bash
# qrgen as a whole process beside its peers (qrencode, zint), measured with
# hyperfine. Each comparison runs three times, interleaved with the others, and
# the table gives the median of the three means with their range.
# The files are written under BENCH_DIR (default /dev/shm when writable): on a
# busy disk, creating 10,000 inodes costs more than making the symbols, for
# every tool alike, and that is not what this compares.
# usage: bench/qrgen_process.sh [BIN_DIR]   (default: build/bin)
set -euo pipefail
bin=$(cd "${1:-build/bin}" && pwd)
qrgen="$bin/qrgen"
for tool in hyperfine qrencode zint; do
  command -v "$tool" >/dev/null || { echo "needs $tool" >&2; exit 1; }
done
base=${BENCH_DIR:-$([ -w /dev/shm ] && echo /dev/shm || echo "${TMPDIR:-/tmp}")}
work=$(mktemp -d "$base/qrgen-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"

# 10,000 URLs of 40 to 80 bytes.
awk 'BEGIN { srand(7); for (i = 0; i < 10000; i++) {
  n = 40 + int(rand() * 41); s = "https://example.com/p/" i "/";
  while (length(s) < n) s = s sprintf("%c", 97 + int(rand() * 26)); print s } }' >urls.txt
# 2,900 bytes: version 40 at level L.
big=$(head -c 2900 /dev/zero | tr '\0' 'q')

# name | qrgen command | peer command | peer name | runs a round
# The batch peers make the same pictures as qrgen's defaults: level Q, 3 pixels a
# module, a quiet zone of 4 modules (zint: --secure=3 --scale=1.5 --quietzones).
comparisons=(
  "small PNG|$qrgen -o a.png hello|qrencode -o b.png hello|qrencode|100"
  "version-40 PNG|$qrgen -l L -o a.png $big|qrencode -l L -o b.png $big|qrencode|30"
  "batch 10,000 URLs|$qrgen batch -O out urls.txt|zint --batch -b QRCODE --secure=3 --scale=1.5 --quietzones --filetype=PNG -i urls.txt -o out/~~~~~.png|zint --batch|1"
  "batch 10,000 URLs|$qrgen batch -O out urls.txt|i=0; while read -r l; do i=\$((i + 1)); qrencode -l Q -o \"out/\$i.png\" \"\$l\"; done <urls.txt|qrencode a line|1"
)

for round in 1 2 3; do
  for i in "${!comparisons[@]}"; do
    IFS='|' read -r name ours peer peername runs <<<"${comparisons[$i]}"
    # Short runs without a shell (its start-up correction is noisier than the
    # runs themselves); the batch rows need one for the loop.
    if [ "$runs" -gt 1 ]; then mode=(-N --warmup 3); else mode=(--warmup 0 --prepare 'rm -rf out; mkdir out'); fi
    hyperfine "${mode[@]}" --style none --runs "$runs" \
      --export-csv "r$round-c$i.csv" -n qrgen "$ours" -n "$peername" "$peer" >/dev/null 2>&1
  done
done

# Instructions of the whole small-PNG process (loader, start-up, exit included):
# steady where wall time is not, on a machine others are using.
count() { valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" 2>&1 | sed -n 's/.*Collected : //p'; }
if command -v valgrind >/dev/null; then
  ours_ir=$(count "$qrgen" -o a.png hello)
  peer_ir=$(count qrencode -o b.png hello)
fi

# Peak memory (KB) of a batch: it must not grow with the input nor with -j.
peak() {
  rm -rf out && mkdir out
  /usr/bin/time -v "$@" 2>time.txt >/dev/null || true
  sed -n 's/.*Maximum resident set size (kbytes): //p' time.txt
}
peak=$(peak "$qrgen" batch -O out urls.txt)
awk 'BEGIN { for (i = 0; i < 1000000; i++) print "https://example.com/m/" i }' >million.txt
million_start=$(date +%s.%N)
peak_million=$(peak "$qrgen" batch -t TXT -O out million.txt)
million_time=$(awk -v s="$million_start" -v e="$(date +%s.%N)" 'BEGIN { printf "%.1f", e - s }')
printf 'a\nb\nc\nd\n' >four.txt
peak_bmp=$(peak "$qrgen" batch -j 4 -v 40 -s 100 -m 100 -t BMP -O out four.txt)
rm -rf out million.txt

median() { sort -g | sed -n 2p; }
range() { sort -g | sed -n '1p;3p' | awk '{ printf (NR > 1 ? "-%.2f" : "%.2f"), $1 }'; }
echo "| comparison | qrgen (median, range) | peer | peer (median, range) | peer / qrgen |"
echo "|---|---|---|---|---|"
for i in "${!comparisons[@]}"; do
  IFS='|' read -r name ours peer peername runs <<<"${comparisons[$i]}"
  # hyperfine's CSV: command,mean,... in seconds; row 2 is qrgen, row 3 the peer.
  mean() { for r in 1 2 3; do awk -F, -v row="$1" 'NR == row + 2 { print $2 * 1000 }' "r$r-c$i.csv"; done; }
  om=$(mean 0 | median); orng=$(mean 0 | range)
  pm=$(mean 1 | median); prng=$(mean 1 | range)
  ratio=$(awk -v o="$om" -v p="$pm" 'BEGIN { printf "%.2f", p / o }')
  printf '| %s | %.2f ms (%s) | %s | %.2f ms (%s) | %sx |\n' "$name" "$om" "$orng" "$peername" "$pm" "$prng" "$ratio"
done
echo
[ -n "${ours_ir:-}" ] && echo "Instructions of one small PNG, whole process: qrgen $ours_ir, qrencode $peer_ir"
echo "Peak memory of the 10,000-URL batch: ${peak} KB (files under $base)"
echo "Peak memory of a 1,000,000-line batch (-t TXT): ${peak_million} KB, ${million_time} s"
echo "Peak memory of four 178 MB BMPs on four threads: ${peak_bmp} KB"
