#!/usr/bin/env bash
# Checks every #include "folder/..." of the program against the layers below:
# a folder may include itself and the folders named after it, nothing else.
# Prints each include that breaks a layer and exits 1 when there is one.
set -euo pipefail
cd "$(dirname "$0")/.."

declare -A ALLOWED=(
  [platform]=""
  [diag]="platform"
  [app]="diag platform"
  [zip]="diag platform"
  [run]="app diag platform"
  [restore]="run zip app diag platform"
  [backup]="run zip app diag platform"
  [verify]="run zip app diag platform"
  [cli]="verify backup restore run zip app diag platform"
  [ui]="verify backup restore run zip app diag platform"
  # Tests: a test program uses its folder, the folders below it and the shared
  # support; tests that need a backup or a restore as their input run one.
  [tests/support]="support backup restore run zip app diag platform"
  [tests/platform]="support platform"
  [tests/diag]="support backup run diag platform"
  [tests/app]="support app diag platform"
  [tests/zip]="support backup restore zip app diag platform"
  [tests/run]="support run app diag platform"
  [tests/restore]="support backup restore run zip app diag platform"
  [tests/backup]="support backup restore run zip app diag platform"
  [tests/cli]="support cli verify backup restore run zip app diag platform"
  [tests/faults]="support backup restore run zip app diag platform"
  [tests/fuzz]="zip diag platform"
  [tests/ui]="support ui verify backup restore run zip app diag platform"
)
FOLDERS=" support platform diag app zip run restore backup verify cli ui "

bad=0
for folder in "${!ALLOWED[@]}"; do
  allowed=" ${folder#tests/} ${ALLOWED[$folder]} "
  while IFS= read -r hit; do
    file=${hit%%:*}
    rest=${hit#*:}
    line=${rest%%:*}
    target=$(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([a-z]*\)\/.*/\1/p' <<<"${rest#*:}")
    [ -n "$target" ] || continue
    [[ "$FOLDERS" == *" $target "* ]] || continue  # not one of our folders
    if [[ "$allowed" != *" $target "* ]]; then
      echo "$file:$line: $folder/ may not include $target/: ${rest#*:}"
      bad=1
    fi
  done < <(grep -rn --include='*.cpp' --include='*.h' '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$folder" || true)
done

if [ "$bad" -ne 0 ]; then
  echo "Includes against the layers (table in scripts/check-layers.sh)." >&2
  exit 1
fi
echo "Layers: every include keeps to its layer."
