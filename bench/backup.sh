#!/usr/bin/env bash
# Speed of "kalvero-cli backup" against its peers, on the make-corpus corpora:
#   1. full backup of `mixed` (Archivbit 0, Compare 0, no check file)
#      against rsync -a and cp -a;
#   2. the same with Compare 1 against cp -a followed by diff -rq;
#   3. a second run over the unchanged `small` corpus with the check file on
#      against a no-change rsync -a over the same trees (and the peak memory).
#
#   bench/backup.sh [CORPUS_ROOT]
#
# CORPUS_ROOT (default /work/corpus) holds mixed/ and small/; missing ones are
# made with make-corpus from KALVERO_SHARED_DIR (default ../shared). Copies go
# to a scratch directory beside the corpora (OUT_DIR), one new directory per
# run: deleting a 20,000-file copy just before the next run slows ext4's
# inode allocation, so everything is removed only at the end.
# KALVERO_CLI: the kalvero-cli to time (default: a Release build in build-bench/).
# RUNS: timed runs per comparison (default 3). Needs farm-bench.
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
root=${1:-/work/corpus}
shared=${KALVERO_SHARED_DIR:-$repo/../shared}
runs=${RUNS:-3}

for profile in mixed small; do
  [[ -d $root/$profile ]] || "$shared/bench/make-corpus" "$profile" "$root/$profile"
done

cli=${KALVERO_CLI:-}
if [[ -z $cli ]]; then
  cmake -S "$repo" -B "$repo/build-bench" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DKALVERO_WINDOW=OFF -DKALVERO_TESTS=OFF >/dev/null
  ninja -C "$repo/build-bench" -j2 kalvero-cli >/dev/null
  cli=$repo/build-bench/kalvero-cli
fi

out=${OUT_DIR:-$root/bench-out}
mkdir -p "$out"
work=$(mktemp -d "$out/run.XXXXXX")
trap 'rm -rf "$work"' EXIT
export TMPDIR=$work XDG_CONFIG_HOME=$work

# backup.sh ini SOURCE DEST COMPARE CHECKFILE: a settings file for one pair.
write_ini() {
  printf '[Allg]\nProtokolldatei=%s\nArchivbit=0\nArchivbitReset=0\nCompare=%s\nMitPrueffile=%s\nPrueffile=%s\nDeleteZieldatei=1\n[SichQZ]\nVersion=2\nAnzahl=1\nVerz0=1|1|%s|%s\n' \
    "$work/run.log" "$4" "$5" "$work/pruef.chk" "$2" "$3" >"$1"
}

# One command line for each side: a new destination directory every run.
cat >"$work/kalvero-full.sh" <<SH
#!/bin/sh
d=\$(mktemp -d "$work/k.XXXXXX")
sed "s|@DEST@|\$d|" "$work/template-\$1.INI" >"\$d.INI"
exec "$cli" --ini "\$d.INI" backup >/dev/null
SH
cat >"$work/peer.sh" <<SH
#!/bin/sh
d=\$(mktemp -d "$work/p.XXXXXX")
case "\$1" in
  rsync) exec rsync -a "$root/mixed/" "\$d/" ;;
  cp) exec cp -a "$root/mixed/." "\$d/" ;;
  cpdiff) cp -a "$root/mixed/." "\$d/" && exec diff -rq "$root/mixed" "\$d" ;;
esac
SH
chmod +x "$work/kalvero-full.sh" "$work/peer.sh"
write_ini "$work/template-copy.INI" "$root/mixed" @DEST@ 0 0
write_ini "$work/template-compare.INI" "$root/mixed" @DEST@ 1 0

echo "== 1. full backup of mixed, Compare 0: kalvero vs rsync -a, vs cp -a"
farm-bench -n "$runs" --timeout 900 --vs "$work/peer.sh rsync" -- "$work/kalvero-full.sh" copy
farm-bench -n "$runs" --timeout 900 --vs "$work/peer.sh cp" -- "$work/kalvero-full.sh" copy
echo "== 2. full backup of mixed, Compare 1: kalvero vs cp -a + diff -rq"
farm-bench -n "$runs" --timeout 1200 --vs "$work/peer.sh cpdiff" -- "$work/kalvero-full.sh" compare

echo "== 3. second run over unchanged small with the check file: kalvero vs no-change rsync -a"
write_ini "$work/small.INI" "$root/small" "$work/small-k" 0 1
"$cli" --ini "$work/small.INI" backup >/dev/null  # first run: copies and writes the check file
rsync -a "$root/small/" "$work/small-r/"
farm-bench -n "$runs" --timeout 900 --vs "rsync -a $root/small/ $work/small-r/" -- \
  "$cli" --ini "$work/small.INI" backup
echo "   (peak memory of the kalvero run: the 'peak' line above)"
