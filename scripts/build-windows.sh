#!/usr/bin/env bash
# Cross-compiles orbwell-midi for 64-bit Windows with mingw-w64. The result
# is build-windows/orbwell-midi.exe, linked statically: it needs no DLL but
# Windows' own.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/windows-host.sh
require_portmidi_217
scripts/setup.sh --windows
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$(nproc)"
