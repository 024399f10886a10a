#!/usr/bin/env bash
# Builds orbwell-midi and its tests with AddressSanitizer and
# UndefinedBehaviorSanitizer and runs the unit tests and the whole-loop test
# under them, in an X server of their own. Any report fails the run, but for
# leaks allocated inside the system libraries in tests/sanitizers/leaks.supp.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --tests
cmake --preset sanitizers >/dev/null
cmake --build --preset sanitizers -j "$(nproc)"

source scripts/private-xvfb.sh

# Mesa unloads its driver when the last context goes, and what the driver
# still held would be reported as leaked from an unknown module. Loaded
# before the program, it stays: its allocations can be told by name.
driver=$(find /usr/lib -name swrast_dri.so -print -quit)
[ -n "$driver" ] || { echo "no Mesa software driver (swrast_dri.so)" >&2; exit 1; }

# The end-to-end tests of the real binary run in the plain build; under the
# sanitizers: every unit test, and the whole program with the MIDI double.
LD_PRELOAD=$driver ctest --preset sanitizers -E '^e2e\.'
LD_PRELOAD=$driver ctest --preset sanitizers -R '^e2e\.WholeLoop$'
