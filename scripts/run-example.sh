#!/usr/bin/env bash
# Sets up and builds, creates the example tree under /tmp/kalvero-example and
# runs kalvero-cli on the example settings file.
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

echo "== kalvero-cli --ini examples/kalvero-example.INI check"
build/kalvero-cli --ini examples/kalvero-example.INI check
