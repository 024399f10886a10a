#!/usr/bin/env bash
# Checks the tree as CI does: clang-format's layout of every C and C++ file,
# clang-tidy over the program and its tools (.clang-tidy), and shellcheck
# over every shell script (.shellcheckrc). Prints each finding; fails if
# there is any.
# usage: scripts/lint.sh
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
scripts/setup.sh --tests --lint || exit 1
# clang-tidy reads how each file is compiled from the test build.
cmake --preset default >/dev/null || exit 1

status=0
check() {  # check NAME COMMAND...: runs one checker, noting its failure.
  echo "lint: $1"
  shift
  "$@" || status=1
}
mapfile -t sources < <(git ls-files '*.cpp' '*.h')
mapfile -t program < <(git ls-files 'src/*.cpp' 'tools/*.cpp')
mapfile -t shell < <(git ls-files '*.sh' '.ci/run' 'scripts/vm/guest-init')
check "clang-format, ${#sources[@]} files" clang-format --dry-run --Werror "${sources[@]}"
# clang-tidy has no failing exit status for warnings: any line it prints is one.
tidy() {
  local findings
  findings=$(clang-tidy --quiet -p build "${program[@]}" 2>/dev/null | grep -E '(warning|error):')
  [ -z "$findings" ] || { echo "$findings"; return 1; }
}
check "clang-tidy, ${#program[@]} files" tidy
check "shellcheck, ${#shell[@]} files" shellcheck "${shell[@]}"
[ "$status" = 0 ] && echo "lint: clean"
exit "$status"
