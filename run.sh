#!/usr/bin/env bash
# Set-up, build and start the window.
set -euo pipefail
cd "$(dirname "$0")"
. scripts/deps.sh
vorlane_install_deps

jobs=$(nproc 2>/dev/null || echo 2)
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" >/dev/null
cmake --build build -j"$jobs"

if [ ! -x build/bin/vorlane-qr ]; then
  echo "The window is not built yet; the command-line generator is: build/bin/qrgen --help"
  exit 0
fi
exec build/bin/vorlane-qr "$@"
