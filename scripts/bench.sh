#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Builds in Release (into ./build-bench, or $BUILD_DIR) and prints what users
# feel: the start-up of `ruvuvuri --sim --info` against a plain hello program,
# and the port accesses per operation against what the window protocol needs.
# Ends with one table of figure, measured value, target and whether it is met.
# The figures are informative: the script fails only when the build fails or
# the program does not run. BENCH_CLI_RUNS changes the run count.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh build
build_dir=${BUILD_DIR:-build-bench}
cli_runs=${BENCH_CLI_RUNS:-200}

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

fail() {
  echo "bench: $*" >&2
  exit 1
}

# --- build -------------------------------------------------------------------
echo "Building (Release) in $build_dir ..."
if ! { cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=Release -DRUVUVURI_SANITIZE=OFF \
         -DRUVUVURI_BENCH=ON &&
       cmake --build "$build_dir" -j"$(nproc)" --target ruvuvuri_bench_all; } >"$tmp/build.log" 2>&1; then
  tail -n 40 "$tmp/build.log" >&2
  fail "the build failed (full log above, last 40 lines)"
fi
bin=$(cd "$build_dir" && pwd)
program=$bin/ruvuvuri
[ -x "$program" ] || fail "$program was not built"

# --- machine -----------------------------------------------------------------
cpu=$(awk -F': ' '/^model name/ { print $2; exit }' /proc/cpuinfo)
compiler=$(sed -n 's/^CMAKE_CXX_COMPILER:[A-Z]*=//p' "$bin/CMakeCache.txt")
echo
echo "Machine: ${cpu:-unknown CPU}, $(nproc) cores, Linux $(uname -r), $("${compiler:-c++}" --version | head -n 1)"
echo "Load average at start: $(cut -d' ' -f1-3 /proc/loadavg)"

# Values of the key=value line proc_timer prints for command N.
field() {  # field FILE COMMAND KEY
  sed -n "s/^command=$2 .*\\b$3=\\([^ ]*\\).*/\\1/p" "$1"
}
mb() {  # KiB -> MB (10^6 bytes)
  awk -v k="$1" 'BEGIN { printf "%.2f", k * 1024 / 1e6 }'
}
rows=()
row() {  # row FIGURE MEASURED TARGET WITHIN
  rows+=("$1|$2|$3|$4")
}

# --- 1. whole-process time and peak memory -------------------------------------
echo
echo "1. ruvuvuri --sim --info against a hello program, $cli_runs runs each, interleaved"
if ! "$program" --sim --info >"$tmp/cli.out" 2>"$tmp/cli.err"; then
  cat "$tmp/cli.err" >&2
  fail "ruvuvuri --sim --info does not run"
fi
"$bin/bench/ruvuvuri_bench_proc_timer" --runs "$cli_runs" --warmup 5 \
  -- "$bin/bench/ruvuvuri_bench_minimal" -- "$program" --sim --info >"$tmp/cli.times"
for n in 1 2; do
  [ "$(field "$tmp/cli.times" $n status)" = ok ] ||
    fail "command $n of the start-up measurement failed: $(sed -n "${n}p" "$tmp/cli.times")"
done
min_us=$(field "$tmp/cli.times" 1 median_us)
cli_us=$(field "$tmp/cli.times" 2 median_us)
min_kib=$(field "$tmp/cli.times" 1 max_rss_kib)
cli_kib=$(field "$tmp/cli.times" 2 max_rss_kib)
ratio=$(awk -v a="$cli_us" -v b="$min_us" 'BEGIN { printf "%.2f", a / b }')
cpu_ratio=$(awk -v a="$(field "$tmp/cli.times" 2 cpu_median_us)" -v b="$(field "$tmp/cli.times" 1 cpu_median_us)" \
  'BEGIN { printf "%.2f", a / b }')
for n in 1 2; do
  name=$([ $n = 1 ] && echo "hello program" || echo "ruvuvuri --sim --info")
  printf '   %-22s median %6.0f us  p10 %6.0f us  p90 %6.0f us  CPU %5.0f us  max RSS %5s KiB\n' \
    "$name" "$(field "$tmp/cli.times" $n median_us)" "$(field "$tmp/cli.times" $n p10_us)" \
    "$(field "$tmp/cli.times" $n p90_us)" "$(field "$tmp/cli.times" $n cpu_median_us)" \
    "$(field "$tmp/cli.times" $n max_rss_kib)"
done
echo "   ratio of medians: wall clock ${ratio}x, CPU time (user + system) ${cpu_ratio}x"
row "--sim --info / hello program, median time" "${ratio}x ($(awk -v u="$cli_us" 'BEGIN{printf "%.2f", u/1000}') / $(awk -v u="$min_us" 'BEGIN{printf "%.2f", u/1000}') ms)" \
  "<= 2x" "$(awk -v r="$ratio" 'BEGIN { print (r <= 2.0) ? "yes" : "no" }')"
row "--sim --info peak memory (max RSS)" "$(mb "$cli_kib") MB" "< 8 MB" \
  "$(awk -v k="$cli_kib" 'BEGIN { print (k * 1024 < 8e6) ? "yes" : "no" }')"
row "hello program peak memory (reference)" "$(mb "$min_kib") MB" "-" "-"

# --- 2. port accesses per operation ----------------------------------------------
echo
echo "2. Port accesses per operation (trace lines other than comments, mem and irq)"
"$bin/bench/ruvuvuri_bench_access_count" >"$tmp/access.txt" || fail "ruvuvuri_bench_access_count failed"
"$program" --sim m=183 --trace="$tmp/run.trace" >/dev/null 2>"$tmp/trace.err" || {
  cat "$tmp/trace.err" >&2
  fail "ruvuvuri --sim m=183 --trace=FILE does not run"
}
cli_accesses=$(awk '!/^#/ && !/^mem / && !/^irq / && NF { n++ } END { print n + 0 }' "$tmp/run.trace")
cli_expected=$(awk '$1 == "cli_run_m183" { print $3 }' "$tmp/access.txt")
sed -i "s/^cli_run_m183 - /cli_run_m183 $cli_accesses /" "$tmp/access.txt"
printf '   %-22s %9s %9s\n' operation measured expected
while read -r name measured expected; do
  printf '   %-22s %9s %9s\n' "$name" "$measured" "$expected"
done <"$tmp/access.txt"
access_row() {  # access_row NAME LABEL
  local measured expected
  measured=$(awk -v n="$1" '$1 == n { print $2 }' "$tmp/access.txt")
  expected=$(awk -v n="$1" '$1 == n { print $3 }' "$tmp/access.txt")
  row "$2" "$measured" "= $expected" "$([ "$measured" = "$expected" ] && echo yes || echo no)"
}
access_row register_read "port accesses: one register read"
access_row register_write "port accesses: one register write"
access_row get_current_clocks "port accesses: GetCurrentClocks"
access_row change_speed "port accesses: ChangeSpeed"
access_row cli_run_m183 "port accesses: whole run --sim m=183"
access_row sim_faults "simulated card protocol faults"
[ "$cli_expected" -gt 0 ] || fail "no expected count for the whole run"

# --- table -----------------------------------------------------------------------
echo
echo "Load average at end: $(cut -d' ' -f1-3 /proc/loadavg) (figures taken under load above ~1 are inflated)"
echo
line() { printf '%-42s | %-32s | %-9s | %s\n' "$@"; }
line figure measured target "within target"
line "------------------------------------------" "--------------------------------" "---------" "-------------"
for r in "${rows[@]}"; do
  IFS='|' read -r figure measured target within <<<"$r"
  line "$figure" "$measured" "$target" "$within"
done
exit 0
