#!/usr/bin/env bash
# cmake --install lays out a working program: binaries, demo data, desktop entry, icons, metadata.
# usage: install.sh BUILD_DIR
set -euo pipefail
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
"$prefix/bin/vendor-api" --listen 127.0.0.1:0 >"$out" &
pid=$!
for _ in $(seq 50); do grep -q '^listening on' "$out" && break; sleep 0.1; done
url=$(sed -n 's/^listening on //p' "$out")
reply=$(VORLANE_API_URL="$url" "$prefix/bin/qrgen" wechat --account vorlane --payload)
kill "$pid"; rm -f "$out"
[ "$reply" = "http://weixin.qq.com/r/vorlane-demo" ] || { echo "look-up gave '$reply'"; exit 1; }
echo "installed layout works"
