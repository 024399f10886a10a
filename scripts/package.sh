#!/usr/bin/env bash
# Builds the Debian package, build-package/orbwell-midi_<version>_<arch>.deb,
# with Debian's own build flags (hardening included) and its shared-library
# dependencies found by dpkg-shlibdeps, then has lintian,
# desktop-file-validate and appstreamcli judge it. With --windows it also
# builds the Windows zip, build-windows/orbwell-midi-<version>-win64.zip.
set -euo pipefail
cd "$(dirname "$0")/.."
windows=false
[ "${1:-}" = "--windows" ] && windows=true
scripts/setup.sh --package

export DEB_BUILD_MAINT_OPTIONS=hardening=+all
CFLAGS="$(dpkg-buildflags --get CFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
LDFLAGS="$(dpkg-buildflags --get LDFLAGS)"
export CFLAGS CXXFLAGS LDFLAGS
rm -rf build-package
cmake --preset package >/dev/null
cmake --build --preset package -j "$(nproc)" >/dev/null
(cd build-package && cpack -G DEB >/dev/null)
deb=$(ls build-package/orbwell-midi_*.deb)

contents=$(mktemp -d)
trap 'rm -rf "$contents"' EXIT
dpkg-deb -x "$deb" "$contents"
# Warnings count as failures: desktop-file-validate prints them but exits 0.
# appstreamcli fails on warnings by itself; its infos are shown, not failed,
# since bookworm's AppStream does not know the <developer> element that
# trixie's asks for.
desktop=$(desktop-file-validate "$contents"/usr/share/applications/*.desktop 2>&1) || true
[ -z "$desktop" ] || { echo "desktop-file-validate: $desktop" >&2; exit 1; }
appstreamcli validate --no-net "$contents"/usr/share/metainfo/*.metainfo.xml
lintian --fail-on error "$deb"
echo "built $deb"
dpkg-deb -I "$deb" | sed -n '/Architecture:/,$p'
echo "files:"
dpkg-deb -c "$deb" | awk '{print "  " $6}'

if $windows; then
  scripts/build-windows.sh >/dev/null
  (cd build-windows && cpack -G ZIP >/dev/null)
  echo "built $(ls build-windows/orbwell-midi-*-win64.zip)"
fi
