#!/usr/bin/env bash
# Drives the real window over the accessibility bus as a screen reader does
# (Xvfb, a private session bus, at-spi2-core, python3-pyatspi): opens the pair
# editor and the schedule dialog, and fails when a field cannot be found by
# its label or a button has no name. Prints what a screen reader would hear.
# Debian's python3 (where python3-pyatspi lives), whatever python3 is on PATH.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}
KALVERO=${KALVERO:-$BUILD_DIR/kalvero}
work=$(mktemp -d)
display=:${A11Y_DISPLAY:-97}
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir -p "$work/Quelle" "$work/config"
printf '[SichQZ]\nVersion=2\nAnzahl=1\nVerz0=1|1|%s/Quelle|%s/Ziel\n[Allg]\nProtokolldatei=%s/sichern.log\n' \
  "$work" "$work" "$work" >"$work/kalvero.INI"
export DISPLAY=$display XDG_CONFIG_HOME=$work/config TMPDIR=$work
export QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1
dbus-run-session -- bash -c '
  /usr/libexec/at-spi-bus-launcher --launch-immediately &
  launcher=$!
  sleep 1
  "$0" "/Ini=$1/kalvero.INI" &
  app=$!
  status=0
  /usr/bin/python3 scripts/a11y_atspi.py || status=$?
  kill "$app" "$launcher" 2>/dev/null || true
  exit $status
' "$KALVERO" "$work"
