#!/usr/bin/env bash
# Set-up, build and every test: the normal build with all suites, the plain C++
# libraries again under AddressSanitizer and UndefinedBehaviorSanitizer, and the
# fuzz targets for a bounded time.
set -euo pipefail
cd "$(dirname "$0")"
. scripts/deps.sh
vorlane_install_deps build run test package

vorlane_build_settings
# zxing-cpp 2.x as WebAssembly, the oracle that reads rMQR, pinned by its lock file. Debian's own nodejs
# comes without npm.
command -v npm >/dev/null || { apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq npm; }
npm ci --prefix tests/support/zxing-wasm --no-audit --no-fund --loglevel=error
logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT

# The C++ is formatted as .clang-format says (clang-format -i fixes it).
if git rev-parse --git-dir >/dev/null 2>&1; then
  git ls-files -z '*.cpp' '*.h' '*.h.in'
else
  find . -path ./build\* -prune -o \( -name '*.cpp' -o -name '*.h' \) -print0
fi | xargs -0 clang-format --dry-run --Werror
formatted=1
echo "format: clean"

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORLANE_TESTS=ON -DVORLANE_BENCH=ON "${launcher[@]}"
cmake --build build -j"$jobs"
QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure -j"$jobs" | tee "$logs/ctest-main.log"

# The Debian package, from the build above, and its checks: the desktop entry and the AppStream
# metadata validate, lintian finds no error, and the package works unpacked into a scratch root.
rm -f build/*.deb
cmake --build build --target package
deb=$(ls build/*.deb)
packaged=0
desktop-file-validate app/data/vorlane-qr.desktop && packaged=$((packaged + 1))
appstreamcli validate --no-net build/app/*.metainfo.xml && packaged=$((packaged + 1))
lintian --fail-on error "$deb" && packaged=$((packaged + 1))
tests/e2e/package.sh "$deb" && packaged=$((packaged + 1))
[ "$packaged" -eq 4 ] || { echo "package checks: $((4 - packaged)) failed"; exit 1; }
echo "package: $(basename "$deb"), $(du -k "$deb" | cut -f1) KiB, 4 checks passed"

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DVORLANE_CORE_ONLY=ON -DVORLANE_SANITIZE=ON "${launcher[@]}"
cmake --build build-asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure -j"$jobs" | tee "$logs/ctest-asan.log"

# Fuzz targets (clang, libFuzzer, ASan + UBSan), each for a bounded time from the
# checked-in seeds, copied so that the run leaves them as they are.
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORLANE_FUZZ=ON "${launcher[@]}"
cmake --build build-fuzz -j"$jobs"
fuzz_seconds=${VORLANE_FUZZ_SECONDS:-20}
fuzzed=0
for target in encode bitstream json form http_request; do
  cp -r "tests/fuzz/corpus/$target" "$logs/$target"
  ASAN_OPTIONS=detect_leaks=1 "build-fuzz/bin/fuzz_$target" -max_total_time="$fuzz_seconds" -max_len=4096 \
    -print_final_stats=1 -artifact_prefix="$logs/" "$logs/$target" >"$logs/$target.log" 2>&1 || {
    echo "fuzz_$target found a problem:"; tail -40 "$logs/$target.log"; exit 1; }
  echo "fuzz_$target: $(grep -o 'number_of_executed_units: [0-9]*' "$logs/$target.log") in ${fuzz_seconds}s, clean"
  fuzzed=$((fuzzed + 1))
done

# One closing line for the whole run.
passed=$(sed -n 's/.*tests passed, \([0-9]*\) tests failed out of \([0-9]*\).*/\2 \1/p' "$logs"/ctest-*.log |
  awk '{ p += $1 - $2; f += $2 } END { print p " " f }')
set -- $passed
echo "all: $(($1 + fuzzed + packaged + formatted)) passed, $2 failed"
