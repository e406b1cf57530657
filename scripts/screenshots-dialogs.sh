#!/usr/bin/env bash
# Saves PNG pictures of the job list, date, information and hint dialogs
# into docs/screenshots/ at 100 % and into docs/screenshots/150/ at 150 %.
# Uses Qt's offscreen platform: no display needed.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}
if [ ! -f "$BUILD_DIR/build.ninja" ]; then
  cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$BUILD_DIR" --target ui_DialogScreenshotsTest
out=docs/screenshots
mkdir -p "$out/150"
export QT_QPA_PLATFORM=offscreen
KALVERO_SCREENSHOT_DIR="$PWD/$out" "$BUILD_DIR/ui_DialogScreenshotsTest" screenshots
KALVERO_SCREENSHOT_DIR="$PWD/$out/150" QT_SCALE_FACTOR=1.5 "$BUILD_DIR/ui_DialogScreenshotsTest" screenshots
ls -1 "$out"/dlg-*.png "$out"/150/dlg-*.png
