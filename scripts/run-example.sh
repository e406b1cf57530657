#!/usr/bin/env bash
# Sets up and builds, creates the example tree under /tmp/kalvero-example and
# starts the window on a copy of the example settings file when a display is
# there; without one it runs the example backup with kalvero-cli.
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD_DIR=build BUILD_TYPE=RelWithDebInfo scripts/setup.sh

EX=/tmp/kalvero-example
mkdir -p "$EX/Daten/Briefe" "$EX/Daten/Fotos/Urlaub 2024" "$EX/Daten/Alt" "$EX/Projekte/src" \
  "$EX/Sicherung/Daten" "$EX/Sicherung/Projekte"
printf 'Sehr geehrte Damen und Herren,\r\n' > "$EX/Daten/Briefe/Anschreiben.txt"
printf 'Kündigung zum Monatsende\r\n' > "$EX/Daten/Briefe/Kündigung.txt"
head -c 200000 /dev/urandom > "$EX/Daten/Fotos/Urlaub 2024/Strand.jpg"
printf 'veraltet\n' > "$EX/Daten/Alt/notiz.txt"
printf 'int main() { return 0; }\n' > "$EX/Projekte/src/main.c"

# A copy: "Einstellungen speichern" and every start write the settings file.
cp examples/kalvero-example.INI "$EX/kalvero.INI"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -x build/kalvero ]; then
  exec build/kalvero "/Ini=$EX/kalvero.INI"
fi

echo "== kalvero-cli --ini $EX/kalvero.INI check"
build/kalvero-cli --ini "$EX/kalvero.INI" check
echo "== kalvero-cli --ini $EX/kalvero.INI backup"
build/kalvero-cli --ini "$EX/kalvero.INI" backup
echo "== Run log: $EX/Sicherung/sichern.log"
