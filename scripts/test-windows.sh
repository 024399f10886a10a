#!/usr/bin/env bash
# Builds the Windows version and tests it: its imports, and the exe itself
# under Wine (which implements the Win32 API on Linux) in an X server of its
# own.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build-windows.sh
scripts/setup.sh  # Xvfb, xdotool, ImageMagick for the tests
bash tests/e2e/windows_exe_test.sh build-windows
