# Shared by the bench scripts (sourced; bench and peak need $work and $runs).
# cli_to_time [BUILD_DIR]: $KALVERO_CLI, or a Release kalvero-cli built in
# BUILD_DIR (default build-bench/) of the checkout ($repo).
cli_to_time() {
  if [[ -n ${KALVERO_CLI:-} ]]; then echo "$KALVERO_CLI"; return; fi
  local dir=$repo/${1:-build-bench}
  cmake -S "$repo" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKALVERO_WINDOW=OFF -DKALVERO_TESTS=OFF >/dev/null
  ninja -C "$dir" -j2 kalvero-cli >/dev/null
  echo "$dir/kalvero-cli"
}
# bench NAME A B: hyperfine over A and B (runs each $runs times, alternating
# warm-up first; $prepare, when set, runs untimed before each), prints both
# medians and the ratio A/B.
bench() {
  hyperfine -N -w 1 -r "$runs" ${prepare:+--prepare "$prepare"} --export-json "$work/$1.json" -n kalvero "$2" -n peer "$3" >/dev/null
  python3 - "$work/$1.json" "$1" <<'PY'
import json, sys
r = {x["command"]: x for x in json.load(open(sys.argv[1]))["results"]}
a, b = r["kalvero"]["median"], r["peer"]["median"]
print(f"   {sys.argv[2]}: kalvero median {a:.3f} s, peer median {b:.3f} s, ratio {a / b:.2f}")
PY
}
# peak COMMAND...: the largest resident set of one run, in MiB.
peak() {
  /usr/bin/time -v -o "$work/time.txt" "$@" >/dev/null 2>&1
  awk -F: '/Maximum resident set size/ {gsub(/ /, "", $2); printf "%.1f MiB\n", $2 / 1024}' "$work/time.txt"
}
