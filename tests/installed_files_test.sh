#!/usr/bin/env bash
# Installs the build into a fresh prefix and checks that exactly the
# program's own files arrive there, relative to that prefix, and nothing from
# the tests; and that the installed programs do not look for libraries in the
# build tree.
# usage: installed_files_test.sh BUILD_DIR
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

cmake --install "$build" --prefix "$prefix/opt/somewhere" >"$prefix.log" 2>&1 ||
  fail "cmake --install failed: $(cat "$prefix.log")"
rm -f "$prefix.log"

expected="opt/somewhere/bin/orbwell-midi
opt/somewhere/bin/orbwell-midi-devices
opt/somewhere/share/applications/orbwell-midi.desktop
opt/somewhere/share/doc/orbwell-midi/LICENSE
opt/somewhere/share/doc/orbwell-midi/README.md
opt/somewhere/share/doc/orbwell-midi/changelog.gz
opt/somewhere/share/doc/orbwell-midi/copyright
opt/somewhere/share/icons/hicolor/48x48/apps/orbwell-midi.png
opt/somewhere/share/icons/hicolor/scalable/apps/orbwell-midi.svg
opt/somewhere/share/man/man1/orbwell-midi-devices.1.gz
opt/somewhere/share/man/man1/orbwell-midi.1.gz
opt/somewhere/share/metainfo/org.orbwell_midi.orbwell_midi.metainfo.xml"
actual=$(cd "$prefix" && find . ! -type d | sed 's|^\./||' | LC_ALL=C sort)
[ "$actual" = "$expected" ] ||
  fail "installed files differ from the expected list:"$'\n'"$(diff <(echo "$expected") <(echo "$actual") || true)"

for program in orbwell-midi orbwell-midi-devices; do
  file="$prefix/opt/somewhere/bin/$program"
  [ -x "$file" ] || fail "$program is not executable"
  ! readelf -d "$file" | grep -qE 'R(UN)?PATH' || fail "$program keeps a library search path: $(readelf -d "$file" | grep -E 'R(UN)?PATH')"
done
# The manual pages are real gzip streams of pages that name their program.
for page in orbwell-midi orbwell-midi-devices; do
  zcat "$prefix/opt/somewhere/share/man/man1/$page.1.gz" | grep -q "^\.TH ${page^^} 1" ||
    fail "$page.1.gz is not the manual page of $page"
done
echo "PASS: $(echo "$expected" | wc -l) files installed, all under the prefix"
