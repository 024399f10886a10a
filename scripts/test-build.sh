# shellcheck shell=bash
# Sourced by the scripts that run programs of the test build (the
# benchmarks, the screenshot), which scripts/build.sh (and so
# scripts/test.sh) makes in build/ and stamps (build/.built) once built.
# require_test_build BUILD PROGRAM...: each program is there and the build
# is newer than every source, or the script ends saying what is not.
require_test_build() {
  local build=$1 program newer
  shift
  for program in "$@"; do
    [ -x "$build/$program" ] ||
      { echo "no $build/$program: build the tests first, with scripts/test.sh" >&2; exit 1; }
  done
  [ -e "$build/.built" ] || { echo "$build was not built by scripts/build.sh: run scripts/test.sh" >&2; exit 1; }
  newer=$(find src tools tests bench CMakeLists.txt -newer "$build/.built" \
    \( -name '*.cpp' -o -name '*.h' -o -name CMakeLists.txt \) -print -quit)
  [ -z "$newer" ] ||
    { echo "$newer changed after $build was built: build the tests again, with scripts/test.sh" >&2; exit 1; }
}
