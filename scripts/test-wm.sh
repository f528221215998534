#!/usr/bin/env bash
# Runs the window-placement tests on a display with a real window manager (openbox),
# where every window has a frame. Argument: the build folder (default build-test).
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build-test}"
source scripts/xsession.sh
x_start --wm
trap x_stop EXIT
QT_QPA_PLATFORM=xcb "$build/bin/tst_window_geometry"
