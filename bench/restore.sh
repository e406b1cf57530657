#!/usr/bin/env bash
# Restore speed: "kalvero-cli restore" of the compressed backup of the `mixed`
# corpus (one archive per file) against one python3 process that extracts
# the same archives with zipfile into the same layout. Times kalvero-cli with
# one thread and with one per core (KALVERO_THREADS) and prints each paired
# time ratio (hyperfine); every restored tree must equal python's.
#
#   bench/restore.sh [CORPUS_DIR]
#
# KALVERO_CLI: the kalvero-cli to time (default: a Release build made in
# build-bench-restore/). CORPUS_DIR (default corpus/mixed, git-ignored) is
# made with make-corpus from KALVERO_SHARED_DIR (default ../shared) when
# missing. RUNS (default 3) runs per command; THREADS: the thread counts to
# time (default "1 $(nproc)"). Needs hyperfine and about 2 GiB of space in
# TMPDIR per timed run (every run restores into a new directory).
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
source "$repo/bench/lib.sh"
corpus=${1:-$repo/corpus/mixed}
shared=${KALVERO_SHARED_DIR:-$repo/../shared}
runs=${RUNS:-3}

if [[ ! -d $corpus ]]; then
  mkdir -p "$(dirname "$corpus")"
  "$shared/bench/make-corpus" mixed "$corpus"
fi
corpus=$(cd "$corpus" && pwd)

cli=$(cli_to_time build-bench-restore)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME=$work

# The backup to restore: every file compressed into an archive of its own.
printf '[Allg]\nArchivbit=0\nArchivbitReset=0\nCompare=0\nCompress=1\nNotCompress=\nProtokolldatei=%s\n[SichQZ]\nVersion=2\nAnzahl=1\nVerz0=1|1|%s|%s\n' \
  "$work/backup.log" "$corpus" "$work/backup" >"$work/backup.INI"
echo "backup (compressed) of $corpus ..."
TMPDIR=$work "$cli" --ini "$work/backup.INI" backup >/dev/null || echo "backup ended with exit status $?"
echo "archives: $(find "$work/backup" -type f -name '*.zip' | wc -l), bytes: $(du -sb "$work/backup" | cut -f1)"

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

# Every run into a new directory: deleting the last run's tree right before
# the next would make the file system slower for both sides.
cat >"$work/kalvero.sh" <<SH
#!/bin/sh
d=\$(mktemp -d "$work/r.XXXXXX")
printf '[Rueck]\nPathSrc=%s\nPathDst=%s\nProtokolldatei=%s\nSubVerz=1\nOnlyByKalvero=1\n' \
  "$work/backup" "\$d" "\$d.log" >"\$d.INI"
TMPDIR=$work exec "$cli" --ini "\$d.INI" restore >/dev/null
SH
cat >"$work/python.sh" <<SH
#!/bin/sh
exec python3 "$work/extract.py" "$work/backup" "\$(mktemp -d "$work/p.XXXXXX")"
SH
chmod +x "$work/kalvero.sh" "$work/python.sh"

for threads in ${THREADS:-1 $(nproc)}; do
  echo "== kalvero-cli restore with $threads thread(s) against python3 zipfile"
  KALVERO_THREADS=$threads bench "restore-$threads" "$work/kalvero.sh" "$work/python.sh"
  echo "   peak memory of kalvero-cli: $(KALVERO_THREADS=$threads peak "$work/kalvero.sh")"
  # Both must have produced the same tree.
  if diff -rq "$(ls -td "$work"/r.*/ | head -1)" "$(ls -td "$work"/p.*/ | head -1)" >/dev/null; then
    echo "trees identical"
  else
    echo "trees differ" >&2
    exit 1
  fi
done
