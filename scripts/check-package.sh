#!/usr/bin/env bash
# Builds the Debian package from a built tree into a scratch folder and checks it as a
# system would take it: lintian, the desktop entry, the AppStream metainfo, the files it
# holds, its dependencies, and the unpacked program's --version and --help.
# Usage: check-package.sh BUILD_DIR VERSION
set -euo pipefail
build=$(realpath "$1")
version=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; fail "cpack"; }
deb=$(ls "$work"/out/corvanta_"$version"_*.deb)
echo "package: $(basename "$deb")"

echo "--- lintian"
lintian --fail-on error "$deb" || fail "lintian reports errors"

dpkg-deb --contents "$deb" | awk '{print $6}' | sed 's|^\./|/|; s|/$||' >"$work/contents"
for path in /usr/bin/corvanta \
            /usr/share/corvanta/help.rtf \
            /usr/share/corvanta/correct.tlx \
            /usr/share/corvanta/samples/welcome.rtf \
            /usr/share/applications/corvanta.desktop \
            /usr/share/icons/hicolor/scalable/apps/corvanta.svg \
            /usr/share/icons/hicolor/256x256/apps/corvanta.png \
            /usr/share/metainfo/corvanta.metainfo.xml \
            /usr/share/man/man1/corvanta.1.gz \
            /usr/share/doc/corvanta/copyright \
            /usr/share/doc/corvanta/changelog.gz; do
  grep -qx "$path" "$work/contents" || fail "the package lacks $path"
done
# Nothing but the program belongs in /usr/bin.
[ "$(grep -c '^/usr/bin/.' "$work/contents")" -eq 1 ] || fail "more than the program in /usr/bin"

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for dep in hunspell-en-us fonts-liberation libqt6widgets6 libhunspell; do
  [[ $depends == *"$dep"* ]] || fail "Depends lacks $dep"
done

dpkg -x "$deb" "$work/root"
echo "--- desktop-file-validate"
desktop-file-validate "$work/root/usr/share/applications/corvanta.desktop" || fail "desktop entry"
echo "--- appstreamcli"
appstreamcli validate --no-net "$work/root/usr/share/metainfo/corvanta.metainfo.xml" || fail "metainfo"
identify -format '%wx%h\n' "$work/root/usr/share/icons/hicolor/256x256/apps/corvanta.png" | grep -qx 256x256 ||
  fail "the PNG icon is not 256 pixels"

# The unpacked program answers without a display.
program=$work/root/usr/bin/corvanta
out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$program" --version)
[ "$out" = "Corvanta $version" ] || fail "--version printed '$out'"
out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$program" --help)
for option in --help --version --user-folder script; do
  [[ $out == *"$option"* ]] || fail "--help does not list $option"
done
echo "package checked"
