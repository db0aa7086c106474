#!/usr/bin/env bash
# The Debian package, unpacked into a scratch root (never installed into this machine), works as installed:
# its files are where the desktop looks for them, its programs find their libraries and their data, the
# command line makes a symbol that zbar reads, and the window comes up under Xvfb, talks to the packaged
# vendor-api, and saves into the user's pictures folder, never beside itself.
# usage: package.sh PACKAGE.deb
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../scripts/lib.sh"
deb=$(realpath "$1")
vorlane_scratch
fail() { echo "package: $*"; exit 1; }

root=$work/root
dpkg -x "$deb" "$root"
usr=$root/usr

# Dependencies that no binary links against but the window needs.
depends=$(dpkg-deb -f "$deb" Depends)
for need in fonts-wqy-microhei qt6-translations-l10n libqt6gui6 libqt6widgets6; do
  [[ ", $depends," == *", $need"[\ ,]* ]] || fail "Depends lacks $need: $depends"
done

# apt would install it as the README says (simulated: nothing changes on this machine).
apt-get -s -q install "$deb" 2>&1 | grep -q '^Inst vorlane-qr ' || { apt-get -s install "$deb"; fail "apt cannot install it"; }

# Where the desktop and man look, with the icon at the size its folder names.
for f in bin/vorlane-qr bin/qrgen bin/vendor-api share/vorlane-qr/vendor-data.json \
         share/applications/vorlane-qr.desktop share/metainfo/example.vorlane.qr.metainfo.xml \
         share/icons/hicolor/scalable/apps/vorlane-qr.svg share/man/man1/vorlane-qr.1.gz \
         share/doc/vorlane-qr/copyright share/doc/vorlane-qr/changelog.gz; do
  [ -s "$usr/$f" ] || fail "missing /usr/$f"
done
png_size() { od -An -tu1 -j16 -N8 "$1" | awk '{ printf "%dx%d", $3 * 256 + $4, $7 * 256 + $8 }'; }
for size in 48 128 256; do
  icon=$usr/share/icons/hicolor/${size}x${size}/apps/vorlane-qr.png
  [ -s "$icon" ] || fail "missing ${size}x$size icon"
  [ "$(png_size "$icon")" = "${size}x$size" ] || fail "${size}x$size icon is $(png_size "$icon")"
done
desktop-file-validate "$usr/share/applications/vorlane-qr.desktop"
appstreamcli validate-tree --no-net "$root" >"$work/appstream.log" 2>&1 || { cat "$work/appstream.log"; fail "appstream"; }
man -l "$usr/share/man/man1/vorlane-qr.1.gz" 2>&1 >/dev/null | grep . && fail "man page warnings"

# Every library resolves from the system, with no search path of ours.
for b in "$usr"/bin/*; do
  ! env -u LD_LIBRARY_PATH ldd "$b" | grep 'not found' || fail "$(basename "$b") misses a library"
done

# Run from elsewhere, so that nothing is found through the working folder.
cd "$work"
export -n LD_LIBRARY_PATH
"$usr/bin/qrgen" encode --text "installed package" -o "$work/symbol.png"
[ "$(zbarimg --nodbus --raw -q "$work/symbol.png" 2>/dev/null)" = "installed package" ] || fail "qrgen symbol"

# The packaged server serves its packaged demo data.
vorlane_start_api "$work/api.out" "$usr/bin/vendor-api" || fail "vendor-api did not start"

# The window under Xvfb, with a home of its own: its title appears, the update check reaches the server, a
# symbol typed in is saved, and the saved picture lands in the pictures folder.
ls -A "$usr/bin" >"$work/bin-before"
mkdir -p "$work/home"
env -u XDG_CONFIG_HOME -u XDG_PICTURES_DIR HOME="$work/home" QT_QPA_PLATFORM=xcb VORLANE_API_URL="$api_url" \
  xvfb-run -a -s "-screen 0 1024x768x24" "$here/drive_packaged_window.sh" "$work" || fail "window"

saved=$(ls "$work"/home/Pictures/HD*.jpg 2>/dev/null) || fail "no picture in the pictures folder"
decoded=$(zbarimg --nodbus --raw -q -Sdisable -Sqrcode.enable "$saved" 2>/dev/null)
[ "$decoded" = "from the package" ] || fail "saved picture decoded as '$decoded'"
ls -A "$usr/bin" | cmp -s - "$work/bin-before" || fail "the window wrote beside itself: $(ls -A "$usr/bin")"
echo "package: $(basename "$deb") unpacked, files in place, qrgen symbol read back, window up and saved to Pictures"
