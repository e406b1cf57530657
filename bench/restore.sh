#!/usr/bin/env bash
# Restore speed: "kalvero-cli restore" of the compressed backup of the `mixed`
# corpus (one archive per file) against one python3 process that extracts
# the same archives with zipfile into the same layout.
#
#   bench/restore.sh [CORPUS_DIR]
#
# KALVERO_CLI: the kalvero-cli to time (default: a Release build made in
# build-bench-restore/). CORPUS_DIR (default corpus/mixed, git-ignored) is
# made with make-corpus from KALVERO_SHARED_DIR (default ../shared) when
# missing. RUNS (default 3) runs per command. Needs about 4 GiB of space in
# TMPDIR for the backup and the two restored trees.
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
corpus=${1:-$repo/corpus/mixed}
shared=${KALVERO_SHARED_DIR:-$repo/../shared}
runs=${RUNS:-3}

if [[ ! -d $corpus ]]; then
  mkdir -p "$(dirname "$corpus")"
  "$shared/bench/make-corpus" mixed "$corpus"
fi
corpus=$(cd "$corpus" && pwd)

cli=${KALVERO_CLI:-}
if [[ -z $cli ]]; then
  cmake -S "$repo" -B "$repo/build-bench-restore" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DKALVERO_WINDOW=OFF -DKALVERO_TESTS=OFF >/dev/null
  ninja -C "$repo/build-bench-restore" -j2 kalvero-cli >/dev/null
  cli=$repo/build-bench-restore/kalvero-cli
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME=$work

# The backup to restore: every file compressed into an archive of its own.
printf '[Allg]\nArchivbit=0\nArchivbitReset=0\nCompare=0\nCompress=1\nNotCompress=\nProtokolldatei=%s\n[SichQZ]\nVersion=2\nAnzahl=1\nVerz0=1|1|%s|%s\n' \
  "$work/backup.log" "$corpus" "$work/backup" >"$work/backup.INI"
echo "backup (compressed) of $corpus ..."
TMPDIR=$work "$cli" --ini "$work/backup.INI" backup >/dev/null || echo "backup ended with exit status $?"
echo "archives: $(find "$work/backup" -type f -name '*.zip' | wc -l), bytes: $(du -sb "$work/backup" | cut -f1)"

printf '[Rueck]\nPathSrc=%s\nPathDst=%s\nProtokolldatei=%s\nSubVerz=1\nOnlyByKalvero=1\n' \
  "$work/backup" "$work/restored" "$work/restore.log" >"$work/restore.INI"

# The reference: one python3 process, every archive extracted below the root.
cat >"$work/extract.py" <<'PY'
import os, sys, zipfile
src, dst = sys.argv[1], sys.argv[2]
for root, dirs, files in os.walk(src):
    for name in files:
        if name.lower().endswith(".zip"):
            with zipfile.ZipFile(os.path.join(root, name)) as z:
                z.extractall(dst)
PY

hyperfine --runs "$runs" --export-markdown "$work/result.md" \
  --prepare "rm -rf '$work/restored'" --prepare "rm -rf '$work/python'" \
  -n kalvero-cli "TMPDIR='$work' '$cli' --ini '$work/restore.INI' restore" \
  -n python3-zipfile "python3 '$work/extract.py' '$work/backup' '$work/python'"
cat "$work/result.md"

# Both must have produced the same tree.
if diff -rq "$work/restored" "$work/python" >/dev/null; then
  echo "trees identical"
else
  echo "trees differ" >&2
  exit 1
fi
