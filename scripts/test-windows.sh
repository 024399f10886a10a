#!/usr/bin/env bash
# Builds the Windows version and tests it: its imports, and the exe itself
# under Wine (which implements the Win32 API on Linux) in an X server of its
# own.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/windows-host.sh
require_portmidi_217
require_wine
scripts/build-windows.sh
scripts/setup.sh --tests --wine  # Wine, Xvfb and ImageMagick for the tests
# The test presses keys in the boxes with our own X tool, a Linux program.
cmake --preset default >/dev/null
cmake --build --preset default --target x11_send >/dev/null
bash tests/e2e/windows_exe_test.sh build-windows build/tests/x11_send
