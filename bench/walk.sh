#!/usr/bin/env bash
# Walk speed of "kalvero-cli list" against find over the `small` corpus
# (100,000 files in 2,000 directories), and the peak memory per file found.
#
#   bench/walk.sh [CORPUS_DIR]
#
# KALVERO_CLI: the kalvero-cli to time (default: a Release build made in
# build-bench/). CORPUS_DIR (default corpus/small, git-ignored) is made with
# make-corpus from KALVERO_SHARED_DIR (default ../shared) when missing.
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
corpus=${1:-$repo/corpus/small}
shared=${KALVERO_SHARED_DIR:-$repo/../shared}
runs=${RUNS:-10}

if [[ ! -d $corpus ]]; then
  mkdir -p "$(dirname "$corpus")"
  "$shared/bench/make-corpus" small "$corpus"
fi
corpus=$(cd "$corpus" && pwd)

source "$repo/bench/lib.sh"
cli=$(cli_to_time)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TMPDIR=$work XDG_CONFIG_HOME=$work
# One pair, nothing filtered: the pure walk. A second settings file adds the
# archive-bit test (one getxattr per file), the program's default.
write_ini() {
  printf '[Allg]\nArchivbit=%s\n[SichQZ]\nVersion=2\nAnzahl=1\nVerz0=1|1|%s|%s\n' "$1" "$corpus" "$work/ziel" >"$2"
}
write_ini 0 "$work/walk.INI"
write_ini 1 "$work/archiv.INI"

files=$("$cli" --ini "$work/walk.INI" list | wc -l)
found=$(find "$corpus" -type f | wc -l)
echo "corpus: $corpus, files listed: $files, files found by find: $found"

hyperfine -N -w 2 -r "$runs" --export-json "$work/walk.json" \
  -n list "$cli --ini $work/walk.INI list" \
  -n list-archivbit "$cli --ini $work/archiv.INI list" \
  -n find "find $corpus -type f -printf '%s %T@ %p\n'"

python3 - "$work/walk.json" <<'PY'
import json, sys
r = {x["command"]: x for x in json.load(open(sys.argv[1]))["results"]}
f = r["find"]["median"]
for name in ("list", "list-archivbit"):
    print(f"{name}: median {r[name]['median']*1000:.1f} ms, find {f*1000:.1f} ms, ratio {r[name]['median']/f:.2f}")
PY

for ini in walk archiv; do
  kb=$( { /usr/bin/time -v "$cli" --ini "$work/$ini.INI" list >/dev/null; } 2>&1 |
        awk -F: '/Maximum resident set size/ {gsub(/ /, "", $2); print $2}')
  echo "peak memory ($ini): ${kb} KiB = $(( kb * 1024 / files )) bytes per file found"
done
kb=$( { /usr/bin/time -v find "$corpus" -type f -printf '%s %T@ %p\n' >/dev/null; } 2>&1 |
      awk -F: '/Maximum resident set size/ {gsub(/ /, "", $2); print $2}')
echo "peak memory (find): ${kb} KiB"
