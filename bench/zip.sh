#!/usr/bin/env bash
# Compression speed and size: "kalvero-cli backup" with Compress 1 and
# Compare 0 over the `mixed` corpus (every file into an archive of its own)
# against ONE python3 process that writes the same per-file archives with
# zipfile at zlib's default level. Times kalvero-cli with one thread and with
# one per core (KALVERO_THREADS), prints each paired time ratio, and the total
# archive sizes of both sides; the archives of both thread counts must be equal.
#
#   bench/zip.sh [CORPUS_ROOT]
#
# CORPUS_ROOT (default /work/corpus) holds mixed/ (made with make-corpus when
# missing). KALVERO_CLI: the kalvero-cli to time (default: a Release build in
# build-bench/). RUNS: timed runs (default 3). THREADS: the thread counts to
# time (default "1 $(nproc)"). Needs hyperfine.
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
source "$repo/bench/lib.sh"
root=${1:-/work/corpus}
shared=${KALVERO_SHARED_DIR:-$repo/../shared}
runs=${RUNS:-3}
[[ -d $root/mixed ]] || "$shared/bench/make-corpus" mixed "$root/mixed"

cli=$(cli_to_time)

out=${OUT_DIR:-$root/bench-out}
mkdir -p "$out"
work=$(mktemp -d "$out/zip.XXXXXX")
trap 'rm -rf "$work"' EXIT
export TMPDIR=$work XDG_CONFIG_HOME=$work

# Every file is compressed: no extension list, no archive bit, no check file.
cat >"$work/kalvero.sh" <<SH
#!/bin/sh
d=\$(mktemp -d "$work/k.XXXXXX")
printf '[Allg]\nProtokolldatei=%s\nArchivbit=0\nArchivbitReset=0\nCompare=0\nCompress=1\nNotCompress=\nMitPrueffile=0\nDeleteZieldatei=1\n[SichQZ]\nVersion=2\nAnzahl=1\nVerz0=1|1|%s|%s\n' \
  "\$d.log" "$root/mixed" "\$d" >"\$d.INI"
exec "$cli" --ini "\$d.INI" backup >/dev/null
SH
cat >"$work/python.py" <<'PY'
import os, sys, tempfile, zipfile
src, work = sys.argv[1], sys.argv[2]
dst = tempfile.mkdtemp(prefix="p.", dir=work)
for root, dirs, files in os.walk(src):
    rel = os.path.relpath(root, src)
    target = os.path.join(dst, rel) if rel != "." else dst
    os.makedirs(target, exist_ok=True)
    for name in files:
        path = os.path.join(root, name)
        with zipfile.ZipFile(os.path.join(target, name + ".zip"), "w", zipfile.ZIP_DEFLATED) as z:
            z.comment = b"Compressed by Kalvero"
            z.write(path, os.path.relpath(path, src))
PY
chmod +x "$work/kalvero.sh"

last=""
for threads in ${THREADS:-1 $(nproc)}; do
  echo "== kalvero-cli with $threads thread(s) against python3 zipfile"
  KALVERO_THREADS=$threads bench "zip-$threads" "$work/kalvero.sh" "python3 $work/python.py $root/mixed $work"
  echo "   peak memory of kalvero-cli: $(KALVERO_THREADS=$threads peak "$work/kalvero.sh")"
  k=$(ls -td "$work"/k.*/ | head -1)
  if [[ -n $last ]] && ! diff -r "$last" "$k" >/dev/null; then
    echo "archives of $threads thread(s) differ from the previous thread count" >&2
    exit 1
  fi
  last=$k
done

# Sizes of the last run of each side.
k=$last
p=$(ls -d "$work"/p.*/ | tail -1)
ks=$(find "$k" -name '*.zip' -printf '%s\n' | awk '{s+=$1} END {print s}')
ps=$(find "$p" -name '*.zip' -printf '%s\n' | awk '{s+=$1} END {print s}')
kn=$(find "$k" -name '*.zip' | wc -l)
pn=$(find "$p" -name '*.zip' | wc -l)
echo "archives: kalvero $kn, python $pn"
echo "bytes:    kalvero $ks, python $ps, ratio $(awk -v a="$ks" -v b="$ps" 'BEGIN {printf "%.4f", a / b}')"
