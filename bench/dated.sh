#!/usr/bin/env bash
# Complete dated states over an unchanged tree: a run of "kalvero-cli backup"
# into a new dated folder ("SubVerzDatum" and "DatumVollstaendig" on, the
# previous day's complete state as its base) against `cp -al` of the same
# tree, and the space of five daily states against one.
#
#   bench/dated.sh [CORPUS_ROOT]
#
# CORPUS_ROOT (default /work/corpus) holds small/ (made with make-corpus from
# KALVERO_SHARED_DIR when missing). Each timed run is one day later under
# faketime, so it fills a new folder; the files' own times stay real
# (NO_FAKE_STAT). Copies go to OUT_DIR (default CORPUS_ROOT/bench-out).
# KALVERO_CLI: the kalvero-cli to time (default: a Release build in
# build-bench/). RUNS: timed runs (default 3). Needs hyperfine and faketime.
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
root=${1:-/work/corpus}
shared=${KALVERO_SHARED_DIR:-$repo/../shared}
runs=${RUNS:-3}
[[ -d $root/small ]] || "$shared/bench/make-corpus" small "$root/small"
command -v faketime >/dev/null || { echo "faketime is missing (scripts/setup.sh installs it)" >&2; exit 2; }

source "$repo/bench/lib.sh"
cli=$(cli_to_time)

out=${OUT_DIR:-$root/bench-out}
mkdir -p "$out"
work=$(mktemp -d "$out/dated.XXXXXX")
trap 'rm -rf "$work"' EXIT
export TMPDIR=$work XDG_CONFIG_HOME=$work NO_FAKE_STAT=1

# dated.sh ini DEST: complete dated states of small into DEST.
write_ini() {
  printf '[Allg]\nProtokolldatei=%s\nArchivbit=0\nArchivbitReset=0\nCompare=0\nMitPrueffile=0\nSubVerzDatum=1\nDatumVollstaendig=1\n[SichQZ]\nVersion=2\nAnzahl=1\nVerz0=1|1|%s|%s\n' \
    "$work/run.log" "$root/small" "$2" >"$1"
}

# One run on the day after the previous one (a counter in the work directory).
cat >"$work/next-day.sh" <<SH
#!/bin/sh
n=\$(cat "$work/day" 2>/dev/null || echo 0); n=\$((n + 1)); echo \$n >"$work/day"
exec faketime "\$(date -u -d "2026-01-01 + \$n days" '+%Y-%m-%d') 10:00:00" "$cli" --ini "\$1" backup >/dev/null
SH
# cp -al gives every source file a new name, which moves its status change
# time: it links a copy of its own, so the runs' source stays untouched.
cp -a "$root/small" "$work/small-peer"
cat >"$work/cp-al.sh" <<SH
#!/bin/sh
d=\$(mktemp -u "$work/cpal.XXXXXX")
exec cp -al "$work/small-peer" "\$d"
SH
chmod +x "$work/next-day.sh" "$work/cp-al.sh"

echo "== 1. a new dated folder over unchanged small: kalvero (hard links to the previous day) vs cp -al"
write_ini "$work/dated.INI" "$work/dated"
"$work/next-day.sh" "$work/dated.INI"  # the first day copies everything
bench dated-vs-cpal "$work/next-day.sh $work/dated.INI" "$work/cp-al.sh"

echo "== 2. space: five daily states of unchanged small against one"
write_ini "$work/five.INI" "$work/five"
for _ in 1 2 3 4 5; do "$work/next-day.sh" "$work/five.INI"; done
first=$(ls "$work/five" | head -1)
echo "   one state:         $(du -sh "$work/five/$first" | cut -f1)"
echo "   five daily states: $(du -sh "$work/five" | cut -f1)"
echo "   states: $(ls "$work/five" | tr '\n' ' ')"
