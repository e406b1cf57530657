#!/usr/bin/env bash
# Saves PNG pictures of the main window (every page, with the example
# settings file, and during a run) and of the batch warning into
# docs/screenshots/, at 100 % and at 150 % scale (docs/screenshots/150/).
# The main window is taken on a 1366 x 768 X server (Xvfb), the size of most
# laptop screens, at its own first size; without xvfb-run Qt's offscreen
# platform is used.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}
if [ ! -f "$BUILD_DIR/build.ninja" ]; then
  cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$BUILD_DIR" --target ui_MainWindowTest ui_PagesScreenshotsTest
out=docs/screenshots
mkdir -p "$out/150"
export QT_QPA_PLATFORM=offscreen KALVERO_SOURCE_DIR="$PWD"
laptop() {
  if command -v xvfb-run >/dev/null; then
    xvfb-run -a -s "-screen 0 1366x768x24" env QT_QPA_PLATFORM=xcb "$@"
  else
    "$@"
  fi
}
KALVERO_SCREENSHOT_DIR="$PWD/$out" laptop "$BUILD_DIR/ui_MainWindowTest" screenshots
KALVERO_SCREENSHOT_DIR="$PWD/$out/150" QT_SCALE_FACTOR=1.5 laptop "$BUILD_DIR/ui_MainWindowTest" screenshots
# Restore page during a run, log page with lines, parameter sheet and its editor.
KALVERO_SCREENSHOT_DIR="$PWD/$out" "$BUILD_DIR/ui_PagesScreenshotsTest" screenshots
KALVERO_SCREENSHOT_DIR="$PWD/$out/150" QT_SCALE_FACTOR=1.5 "$BUILD_DIR/ui_PagesScreenshotsTest" screenshots
ls -1 "$out"/*.png "$out"/150/*.png
