#!/usr/bin/env bash
# Builds the Debian package, build-package/orbwell-midi_<version>_<arch>.deb,
# with Debian's own build flags (hardening included) and its shared-library
# dependencies found by dpkg-shlibdeps, then has lintian,
# desktop-file-validate and appstreamcli judge it. With --windows it also
# builds the Windows zip, build-windows/orbwell-midi-<version>-win64.zip, where
# this release can build the Windows version (exit status 77 where not).
set -euo pipefail
cd "$(dirname "$0")/.."
windows=false
[ "${1:-}" = "--windows" ] && windows=true
scripts/setup.sh --package

# Debian's flags are for Debian's toolchain, and reach only the package's
# configure: mingw-w64's linker, for one, refuses their -z options.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
rm -rf build-package
CFLAGS="$(dpkg-buildflags --get CFLAGS) $(dpkg-buildflags --get CPPFLAGS)" \
  CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)" \
  LDFLAGS="$(dpkg-buildflags --get LDFLAGS)" \
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
  # Its set-up steps are shown, and where this release cannot build the
  # Windows version, the one line that says why (status 77).
  status=0
  scripts/build-windows.sh | grep -E '^(setup|SKIP): ' || status=${PIPESTATUS[0]}
  [ "$status" -eq 0 ] || exit "$status"
  (cd build-windows && cpack -G ZIP >/dev/null)
  echo "built $(ls build-windows/orbwell-midi-*-win64.zip)"
fi
