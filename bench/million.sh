#!/usr/bin/env bash
# "kalvero-cli backup" at a million files: ten real copies of the `small`
# corpus under one source (1,000,000 files, 1.4 GB, no hard links, so keeping
# hard links changes nothing of what is measured), with the peak memory of
# every run (/usr/bin/time -v):
#   1. first backup (check file on, Compare 0) against rsync -a and cp -a;
#   2. a no-change run with the check file against a no-change rsync -a and
#      find -printf, the floor a no-change run can reach, and the peak
#      memory of kalvero-cli verify over that backup;
#   3. a no-change run with the default settings (archive marker and its
#      reset on, no check file) over the run's own copy of the source (the
#      run stores its markers there) against a no-change rsync -a and find.
#
#   bench/million.sh [CORPUS_ROOT]
#
# CORPUS_ROOT (default /work/corpus) holds small/ (made with make-corpus from
# KALVERO_SHARED_DIR, default ../shared, when missing) and million/ (made
# once from small/ with cp -a when missing). Copies go to a scratch directory
# beside the corpora (OUT_DIR), removed at the end; a first backup's
# destination (and check file) is removed before each of its runs, outside
# the timing. Needs about 25 GB free.
# KALVERO_CLI: the kalvero-cli to time (default: a Release build in build-bench/).
# RUNS: timed runs per comparison (default 3; a first run takes a minute).
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
root=${1:-/work/corpus}
shared=${KALVERO_SHARED_DIR:-$repo/../shared}
runs=${RUNS:-3}

free=$(df -Pk "$root" | awk 'NR == 2 {print int($4 / 1048576)}')
if ((free < 25)); then
  echo "million.sh: $free GB free beside $root, 25 GB needed" >&2
  exit 1
fi

[[ -d $root/small ]] || "$shared/bench/make-corpus" small "$root/small"
if [[ ! -d $root/million ]]; then
  # Made aside and renamed: a broken-off copy is never taken for the corpus.
  rm -rf "$root/million.part"
  mkdir -p "$root/million.part"
  for i in 0 1 2 3 4 5 6 7 8 9; do cp -a "$root/small" "$root/million.part/copy$i"; done
  mv "$root/million.part" "$root/million"
fi
src=$root/million

source "$repo/bench/lib.sh"
cli=$(cli_to_time)

out=${OUT_DIR:-$root/bench-out}
mkdir -p "$out"
work=$(mktemp -d "$out/million.XXXXXX")
trap 'rm -rf "$work"' EXIT
export TMPDIR=$work XDG_CONFIG_HOME=$work

# One pair SOURCE -> DEST into settings file $1, check file $4 (on with a name).
write_ini() {
  local check=0 name=$work/unused.chk
  [[ -n ${4:-} ]] && check=1 name=$4
  printf '[Allg]\nProtokolldatei=%s\nArchivbit=0\nArchivbitReset=0\nCompare=0\nMitPrueffile=%s\nPrueffile=%s\nDeleteZieldatei=1\n[SichQZ]\nVersion=2\nAnzahl=1\nVerz0=1|1|%s|%s\n' \
    "$work/run.log" "$check" "$name" "$2" "$3" >"$1"
}
floor="find $src -printf '%s %T@ %p\n'"

echo "== 1. first backup of the million, check file on, Compare 0: kalvero vs rsync -a, vs cp -a"
write_ini "$work/first.INI" "$src" "$work/k" "$work/first.chk"
prepare="rm -rf $work/k $work/p $work/first.chk"
bench first-rsync "$cli --ini $work/first.INI backup" "rsync -a $src/ $work/p/"
bench first-cp "$cli --ini $work/first.INI backup" "cp -a $src/. $work/p/"
rm -rf "$work/k" "$work/p" "$work/first.chk"
firstPeak=$(peak "$cli" --ini "$work/first.INI" backup)
rsyncPeak=$(peak rsync -a "$src/" "$work/p/")
rm -rf "$work/p"
cpPeak=$(peak cp -a "$src/." "$work/p/")
prepare=

echo "== 2. no-change run with the check file: kalvero vs no-change rsync -a, vs find -printf"
rsync -a "$src/" "$work/p/"
bench checkfile "$cli --ini $work/first.INI backup" "rsync -a $src/ $work/p/"
bench find-checkfile "$cli --ini $work/first.INI backup" "$floor"
checkPeak=$(peak "$cli" --ini "$work/first.INI" backup)
rsyncSamePeak=$(peak rsync -a "$src/" "$work/p/")
findPeak=$(peak sh -c "$floor")
verifyPeak=$(peak "$cli" --ini "$work/first.INI" verify)  # the first backup against its checksum list
rm -rf "$work/k" "$work/p"

echo "== 3. no-change run with the default settings: kalvero vs no-change rsync -a, vs find -printf"
cp -a "$src" "$work/src"
printf '[Allg]\nProtokolldatei=%s\n[SichQZ]\nVersion=2\nAnzahl=1\nVerz0=1|1|%s|%s\n' \
  "$work/run.log" "$work/src" "$work/d" >"$work/default.INI"
defaultFirstPeak=$(peak "$cli" --ini "$work/default.INI" backup)  # copies and stores the markers
rsync -a "$work/src/" "$work/p/"
bench defaults "$cli --ini $work/default.INI backup" "rsync -a $work/src/ $work/p/"
bench find-defaults "$cli --ini $work/default.INI backup" "find $work/src -printf '%s %T@ %p\n'"
defaultPeak=$(peak "$cli" --ini "$work/default.INI" backup)

echo "== 4. peak memory (MiB; 100 bytes a file are 95.4 MiB)"
echo "   first run, check file on: kalvero $firstPeak, rsync -a $rsyncPeak, cp -a $cpPeak"
echo "   first run, default settings: kalvero $defaultFirstPeak"
echo "   no-change run, check file on: kalvero $checkPeak, rsync -a $rsyncSamePeak, find -printf $findPeak"
echo "   no-change run, default settings: kalvero $defaultPeak"
echo "   kalvero-cli verify of the first backup: $verifyPeak"
