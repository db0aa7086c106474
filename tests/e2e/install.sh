#!/usr/bin/env bash
# cmake --install lays out a working program: binaries, demo data, desktop entry, icons, metadata.
# usage: install.sh BUILD_DIR
set -euo pipefail
. "$(dirname "$0")/../../scripts/lib.sh"
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$1" --prefix "$prefix" >/dev/null
for f in bin/vorlane-qr bin/qrgen bin/vendor-api share/vorlane-qr/vendor-data.json \
         share/applications/vorlane-qr.desktop share/metainfo/example.vorlane.qr.metainfo.xml \
         share/icons/hicolor/scalable/apps/vorlane-qr.svg share/icons/hicolor/{48x48,128x128,256x256}/apps/vorlane-qr.png; do
  [ -s "$prefix/$f" ] || { echo "missing $f"; exit 1; }
done
grep -qx 'Exec=vorlane-qr' "$prefix/share/applications/vorlane-qr.desktop"
grep -qx 'Icon=vorlane-qr' "$prefix/share/applications/vorlane-qr.desktop"
# Every icon is a symbol that reads back.
for icon in "$prefix"/share/icons/hicolor/*/apps/vorlane-qr.*; do
  [ "$(zbarimg --nodbus --raw -q "$icon" 2>/dev/null)" = "Vorlane QR" ] || { echo "icon $icon does not read"; exit 1; }
done
# The installed server finds the installed data (run from elsewhere), and the installed command line works.
cd /
out=$(mktemp)
vorlane_start_api "$out" "$prefix/bin/vendor-api"
reply=$(VORLANE_API_URL="$api_url" "$prefix/bin/qrgen" wechat --account vorlane --payload)
kill "$api_pid"; rm -f "$out"
[ "$reply" = "http://weixin.qq.com/r/vorlane-demo" ] || { echo "look-up gave '$reply'"; exit 1; }
echo "installed layout works"
