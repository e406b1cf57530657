#!/usr/bin/env bash
# Speed of "kalvero-cli verify" against sha256sum -c over the same backup:
# a plain backup of the `mixed` corpus made by kalvero-cli backup, checked
# against its checksum list by both (the page cache warm for both).
#
#   bench/verify.sh [CORPUS_DIR]
#
# KALVERO_CLI: the kalvero-cli to time (default: a Release build made in
# build-bench/). CORPUS_DIR (default corpus/mixed, git-ignored) is made with
# make-corpus from KALVERO_SHARED_DIR (default ../shared) when missing.
# KALVERO_THREADS limits the workers as in a run.
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
corpus=${1:-$repo/corpus/mixed}
shared=${KALVERO_SHARED_DIR:-$repo/../shared}
runs=${RUNS:-5}
list=Kalvero-Pruefsummen.sha256

if [[ ! -d $corpus ]]; then
  mkdir -p "$(dirname "$corpus")"
  "$shared/bench/make-corpus" mixed "$corpus"
fi
corpus=$(cd "$corpus" && pwd)

source "$repo/bench/lib.sh"
cli=$(cli_to_time)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TMPDIR=$work XDG_CONFIG_HOME=$work XDG_DATA_HOME=$work XDG_CACHE_HOME=$work XDG_STATE_HOME=$work
printf '[Allg]\nArchivbit=0\nProtokolldatei=%s\n[SichQZ]\nVersion=2\nAnzahl=1\nVerz0=1|1|%s|%s\n' \
  "$work/sichern.log" "$corpus" "$work/ziel" >"$work/k.INI"
"$cli" --ini "$work/k.INI" backup --quiet >/dev/null
if [[ ! -f $work/ziel/$list ]]; then
  # A backup that does not write the list yet: the list as sha256sum writes it.
  echo "note: the backup wrote no $list; made with sha256sum"
  (cd "$work/ziel" && find . -type f ! -name "$list" -print0 | xargs -0 sha256sum >"$list.tmp" && mv "$list.tmp" "$list")
fi
files=$(grep -c '' "$work/ziel/$list")
bytes=$(du -sb "$work/ziel" | cut -f1)
echo "corpus: $corpus, backup: $files files, $((bytes / 1048576)) MiB, threads: ${KALVERO_THREADS:-$(nproc)}"

# Both must agree that the backup is intact before their times mean anything.
"$cli" verify "$work/ziel" --quiet >/dev/null
(cd "$work/ziel" && sha256sum -c --quiet "$list")

bench verify "$cli verify $work/ziel --quiet" "sh -c 'cd $work/ziel && exec sha256sum -c --quiet $list'"
echo "   peak memory: verify $(peak "$cli" verify "$work/ziel" --quiet)," \
     "sha256sum -c $(peak sh -c "cd '$work/ziel' && exec sha256sum -c --quiet $list")"
