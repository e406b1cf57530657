#!/usr/bin/env bash
# What killed runs leave behind: a compressed backup of `mixed` on every core
# is killed (SIGKILL) KILLS times at random moments, then run to its end; the
# script counts the files in the destination that are neither the archive
# (or, for a file stored as it is, the copy) of a source file nor the
# destination's own list files. A clean program leaves 0.
#
#   bench/leftovers.sh [CORPUS_ROOT]
#
# CORPUS_ROOT (default /work/corpus) holds mixed/ (made with make-corpus when
# missing). KALVERO_CLI: the kalvero-cli to run (default: a Release build in
# build-bench/). KILLS (default 3), THREADS (default: one per core).
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
root=${1:-/work/corpus}
shared=${KALVERO_SHARED_DIR:-$repo/../shared}
kills=${KILLS:-3}
[[ -d $root/mixed ]] || "$shared/bench/make-corpus" mixed "$root/mixed"

source "$repo/bench/lib.sh"
cli=$(cli_to_time)

work=$(mktemp -d "${OUT_DIR:-$root/bench-out}.XXXXXX")
trap 'rm -rf "$work"' EXIT
export TMPDIR=$work XDG_CONFIG_HOME=$work XDG_STATE_HOME=$work/state XDG_RUNTIME_DIR=$work/run
mkdir -p "$work/run" && chmod 700 "$work/run"
[[ -n ${THREADS:-} ]] && export KALVERO_THREADS=$THREADS

printf '[Allg]\nProtokolldatei=%s\nArchivbit=0\nArchivbitReset=0\nCompress=1\nCompare=0\nMitPrueffile=1\nPrueffile=%s\n[SichQZ]\nVersion=2\nAnzahl=1\nVerz0=1|1|%s|%s\n' \
  "$work/run.log" "$work/pruef.chk" "$root/mixed" "$work/dest" >"$work/k.INI"

for i in $(seq 1 "$kills"); do
  "$cli" --ini "$work/k.INI" backup >/dev/null 2>&1 &
  pid=$!
  sleep "$(python3 -c 'import random; print(round(random.uniform(0.5, 4.0), 2))')"
  kill -9 "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  echo "kill $i: $(find "$work/dest" -type f 2>/dev/null | wc -l) files in the destination"
done
"$cli" --ini "$work/k.INI" backup >/dev/null 2>&1 || echo "the completing run ended with $?"

# Every file of the destination must be NAME.zip or NAME of a source file NAME.
python3 - "$root/mixed" "$work/dest" <<'PY'
import os, sys
src, dst = sys.argv[1], sys.argv[2]
sources = set()
for d, _, files in os.walk(src):
    for f in files:
        sources.add(os.path.relpath(os.path.join(d, f), src))
stray = []
for d, _, files in os.walk(dst):
    for f in files:
        rel = os.path.relpath(os.path.join(d, f), dst)
        if rel in sources or (rel.endswith('.zip') and rel[:-4] in sources):
            continue
        stray.append(rel)
print(f"files neither an archive nor a copy of a source file: {len(stray)}")
for name in stray[:20]:
    print("  " + name)
PY
