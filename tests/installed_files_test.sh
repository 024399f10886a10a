#!/usr/bin/env bash
# Installs the build into a fresh prefix and checks that exactly the
# program's own files arrive there, relative to that prefix, and nothing from
# the tests; and that the installed programs do not look for libraries in the
# build tree.
# usage: installed_files_test.sh BUILD_DIR
source "$(dirname "$0")/e2e/lib.sh"
build=$1
prefix="$WORK/opt/somewhere"

cmake --install "$build" --prefix "$prefix" >"$WORK/install.log" 2>&1 ||
  fail "cmake --install failed: $(cat "$WORK/install.log")"

expected="bin/orbwell-midi
bin/orbwell-midi-autoconnect
bin/orbwell-midi-devices
share/applications/orbwell-midi.desktop
share/doc/orbwell-midi/LICENSE
share/doc/orbwell-midi/README.md
share/doc/orbwell-midi/changelog.gz
share/doc/orbwell-midi/copyright
share/icons/hicolor/48x48/apps/orbwell-midi.png
share/icons/hicolor/scalable/apps/orbwell-midi.svg
share/man/man1/orbwell-midi-autoconnect.1.gz
share/man/man1/orbwell-midi-devices.1.gz
share/man/man1/orbwell-midi.1.gz
share/metainfo/org.orbwell_midi.orbwell_midi.metainfo.xml
share/orbwell-midi/orbwell-midi-demo.mid"
# Anything outside the prefix in the work folder would be a file installed
# to an absolute path.
actual=$(cd "$WORK" && find . ! -type d ! -name install.log | sed 's|^\./opt/somewhere/||' | LC_ALL=C sort)
[ "$actual" = "$expected" ] ||
  fail "installed files differ from the expected list:"$'\n'"$(diff <(echo "$expected") <(echo "$actual") || true)"

for program in orbwell-midi orbwell-midi-devices orbwell-midi-autoconnect; do
  file="$prefix/bin/$program"
  [ -x "$file" ] || fail "$program is not executable"
  ! readelf -d "$file" | grep -qE 'R(UN)?PATH' || fail "$program keeps a library search path: $(readelf -d "$file" | grep -E 'R(UN)?PATH')"
done
# The manual pages are real gzip streams of pages that name their program.
for page in orbwell-midi orbwell-midi-devices orbwell-midi-autoconnect; do
  zcat "$prefix/share/man/man1/$page.1.gz" | grep -q "^\.TH ${page^^} 1" ||
    fail "$page.1.gz is not the manual page of $page"
done
echo "PASS: $(echo "$expected" | wc -l) files installed, all under the prefix"
