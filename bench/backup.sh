#!/usr/bin/env bash
# Speed of "kalvero-cli backup" against its peers, on the make-corpus corpora:
#   1. full backup of `mixed` (Archivbit 0, Compare 0, no check file)
#      against rsync -a and cp -a;
#   2. the same with Compare 1 against cp -a followed by diff -rq;
#   3. a second run over the unchanged `small` corpus with the check file on
#      ("Archivbit" 0) against a no-change rsync -a over the same trees;
#   4. a second run over an unchanged copy of `small` with the default
#      settings (archive marker on and its reset on, no check file) against a
#      no-change rsync -a; the copy is the run's own, as the run stores its
#      markers in the source;
#   5. find -printf over `small` as the floor a no-change run can reach, and
#      the peak memory of the runs over `small` (/usr/bin/time -v);
#   6. a first backup of `small` (100,000 small files, check file on,
#      Compare 0) against rsync -a, and what Compare 1 costs on it.
#
#   bench/backup.sh [CORPUS_ROOT]
#
# CORPUS_ROOT (default /work/corpus) holds mixed/ and small/; missing ones are
# made with make-corpus from KALVERO_SHARED_DIR (default ../shared). Copies go
# to a scratch directory beside the corpora (OUT_DIR), one new directory per
# run: deleting a 20,000-file copy just before the next run slows ext4's
# inode allocation, so everything is removed only at the end.
# KALVERO_CLI: the kalvero-cli to time (default: a Release build in build-bench/).
# RUNS: timed runs per comparison (default 3). ONLY=small runs cases 3-6 only.
# Needs hyperfine; ratios are of the medians.
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
root=${1:-/work/corpus}
shared=${KALVERO_SHARED_DIR:-$repo/../shared}
runs=${RUNS:-3}

for profile in mixed small; do
  [[ -d $root/$profile ]] || "$shared/bench/make-corpus" "$profile" "$root/$profile"
done

source "$repo/bench/lib.sh"
cli=$(cli_to_time)

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
  rsync-small) exec rsync -a "$root/small/" "\$d/" ;;
  cp) exec cp -a "$root/mixed/." "\$d/" ;;
  cpdiff) cp -a "$root/mixed/." "\$d/" && exec diff -rq "$root/mixed" "\$d" ;;
esac
SH
chmod +x "$work/kalvero-full.sh" "$work/peer.sh"
write_ini "$work/template-copy.INI" "$root/mixed" @DEST@ 0 0
write_ini "$work/template-compare.INI" "$root/mixed" @DEST@ 1 0


if [[ ${ONLY:-} != small ]]; then
echo "== 1. full backup of mixed, Compare 0: kalvero vs rsync -a, vs cp -a"
bench full-rsync "$work/kalvero-full.sh copy" "$work/peer.sh rsync"
bench full-cp "$work/kalvero-full.sh copy" "$work/peer.sh cp"
echo "== 2. full backup of mixed, Compare 1: kalvero vs cp -a + diff -rq"
bench compare "$work/kalvero-full.sh compare" "$work/peer.sh cpdiff"
fi

echo "== 3. second run over unchanged small with the check file: kalvero vs no-change rsync -a"
write_ini "$work/small.INI" "$root/small" "$work/small-k" 0 1
first=$(peak "$cli" --ini "$work/small.INI" backup)  # first run: copies and writes the check file
rsync -a "$root/small/" "$work/small-r/"
bench checkfile "$cli --ini $work/small.INI backup" "rsync -a $root/small/ $work/small-r/"

echo "== 4. second run over an unchanged copy of small, default settings: kalvero vs no-change rsync -a"
cp -a "$root/small" "$work/small-src"
printf '[Allg]\nProtokolldatei=%s\n[SichQZ]\nVersion=2\nAnzahl=1\nVerz0=1|1|%s|%s\n' \
  "$work/run.log" "$work/small-src" "$work/small-d" >"$work/default.INI"
firstDefault=$(peak "$cli" --ini "$work/default.INI" backup)  # first run: copies and stores the markers
rsync -a "$work/small-src/" "$work/small-rd/"
bench defaults "$cli --ini $work/default.INI backup" "rsync -a $work/small-src/ $work/small-rd/"

echo "== 5. floor and memory"
bench find-checkfile "$cli --ini $work/small.INI backup" "find $root/small -printf '%s %T@ %p\n'"
bench find-defaults "$cli --ini $work/default.INI backup" "find $work/small-src -printf '%s %T@ %p\n'"
echo "   peak memory, first run over small with the check file: $first"
echo "   peak memory, no-change run with the check file: $(peak "$cli" --ini "$work/small.INI" backup)"
echo "   peak memory, first run over small with the defaults: $firstDefault"
echo "   peak memory, no-change run with the defaults: $(peak "$cli" --ini "$work/default.INI" backup)"
echo "   peak memory, no-change rsync -a: $(peak rsync -a "$root/small/" "$work/small-r/")"

echo "== 6. first backup of small with the check file: kalvero vs rsync -a; Compare 1 vs Compare 0"
# Each run has a check file of its own beside its new destination: a first run every time.
for compare in 0 1; do
  printf '[Allg]\nProtokolldatei=%s\nArchivbit=0\nArchivbitReset=0\nCompare=%s\nMitPrueffile=1\nPrueffile=@DEST@.chk\nDeleteZieldatei=1\n[SichQZ]\nVersion=2\nAnzahl=1\nVerz0=1|1|%s|@DEST@\n' \
    "$work/run.log" "$compare" "$root/small" >"$work/template-small$compare.INI"
done
bench first-small "$work/kalvero-full.sh small0" "$work/peer.sh rsync-small"
bench compare-small "$work/kalvero-full.sh small1" "$work/kalvero-full.sh small0"
echo "   peak memory, first run over small with the check file: $(peak "$work/kalvero-full.sh" small0)"
