#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package of the build given, unpacked into a temporary root: the
# installed layout complete, the link in place, the desktop entry and
# metainfo valid, Depends computed from the binaries, and the program runs.
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

if ! cpack --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log" >&2
  fail "cpack"
fi
debs=("$work"/out/vexel_*_amd64.deb)
[ "${#debs[@]}" -eq 1 ] && [ -f "${debs[0]}" ] || fail "no single vexel_<version>_amd64.deb: ${debs[*]}"
deb=${debs[0]}
root=$work/root
dpkg-deb -x "$deb" "$root"

expected=(
  ./usr/bin/vexel
  ./usr/lib/vexel/vexel
  ./usr/lib/vexel/vexel-webengine.so
  ./usr/share/applications/vexel.desktop
  ./usr/share/metainfo/io.github.vexel.Vexel.metainfo.xml
  ./usr/share/man/man1/vexel.1.gz
  ./usr/share/doc/vexel/changelog.gz
  ./usr/share/doc/vexel/copyright
)
if [ -x "$build/bin/vexel-webkit" ]; then
  expected+=(./usr/lib/vexel/vexel-webkit ./usr/lib/vexel/webkit-extensions/vexel-webkit-blocker.so)
fi
for size in 16 22 24 32 48 64 128 256; do
  expected+=("./usr/share/icons/hicolor/${size}x${size}/apps/vexel.png")
done
actual=$(cd "$root" && find . ! -type d | sort)
wanted=$(printf '%s\n' "${expected[@]}" | sort)
[ "$actual" = "$wanted" ] || fail "files differ:
$(diff <(echo "$wanted") <(echo "$actual") || true)"

[ -L "$root/usr/bin/vexel" ] || fail "usr/bin/vexel is no link"
[ "$(readlink "$root/usr/bin/vexel")" = ../lib/vexel/vexel ] || fail "usr/bin/vexel points elsewhere"
for f in "$root"/usr/lib/vexel/*; do
  case "$f" in
    # A library is read, not run: Debian wants it without the executable bit.
    *.so) [ ! -x "$f" ] || fail "$f is executable" ;;
    *) [ -x "$f" ] || fail "$f is not executable" ;;
  esac
done
for size in 16 22 24 32 48 64 128 256; do
  file -b "$root/usr/share/icons/hicolor/${size}x${size}/apps/vexel.png" | grep -q "PNG image data, $size x $size," ||
    fail "icon ${size}x${size}"
done
gzip -t "$root/usr/share/man/man1/vexel.1.gz" || fail "man page"
zcat "$root/usr/share/doc/vexel/changelog.gz" | head -1 | grep -q "^vexel ($(dpkg-deb -f "$deb" Version))" ||
  fail "changelog does not start with this version"
grep -q "<release version=\"$(dpkg-deb -f "$deb" Version)\"" \
  "$root/usr/share/metainfo/io.github.vexel.Vexel.metainfo.xml" || fail "metainfo has no entry for this release"

desktop-file-validate "$root/usr/share/applications/vexel.desktop" || fail "desktop entry"
appstreamcli validate --no-net "$root/usr/share/metainfo/io.github.vexel.Vexel.metainfo.xml" ||
  fail "metainfo"

depends=$(dpkg-deb -f "$deb" Depends)
for lib in libqt6webenginewidgets6 libxml2 libqt6sql6-sqlite; do
  echo "$depends" | grep -q "$lib" || fail "Depends lacks $lib: $depends"
done
dpkg-deb -f "$deb" Recommends | grep -q webext-ublock-origin-chromium || fail "Recommends lacks the filter lists"
[ "$(dpkg-deb -f "$deb" Architecture)" = amd64 ] || fail "architecture"

version=$("$root/usr/bin/vexel" --version)
[ "$version" = "Vexel $(dpkg-deb -f "$deb" Version)" ] || fail "vexel --version printed '$version'"
echo "package ok: $(basename "$deb")"
