#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Builds in Release (into ./build-bench, or $BUILD_DIR) and prints the performance
# figures: process start-up against an empty program, time to the Qt panel,
# port accesses per operation and the cost of the PLL coefficient search. Ends
# with one table of figure, measured value, target and whether it is met. The
# figures are informative: the script fails only when the build fails or the
# program does not run. BENCH_CLI_RUNS and BENCH_QT_RUNS change the run counts.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh bench
build_dir=${BUILD_DIR:-build-bench}
cli_runs=${BENCH_CLI_RUNS:-200}
qt_runs=${BENCH_QT_RUNS:-20}

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
echo "1. ruvuvuri --sim m=183 against an empty program, $cli_runs runs each, interleaved"
if ! "$program" --sim m=183 >"$tmp/cli.out" 2>"$tmp/cli.err"; then
  cat "$tmp/cli.err" >&2
  fail "ruvuvuri --sim m=183 does not run"
fi
"$bin/bench/ruvuvuri_bench_proc_timer" --runs "$cli_runs" --warmup 5 \
  -- "$bin/bench/ruvuvuri_bench_minimal" -- "$program" --sim m=183 >"$tmp/cli.times"
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
  name=$([ $n = 1 ] && echo "empty program" || echo "ruvuvuri --sim m=183")
  printf '   %-22s median %6.0f us  p10 %6.0f us  p90 %6.0f us  CPU %5.0f us  max RSS %5s KiB\n' \
    "$name" "$(field "$tmp/cli.times" $n median_us)" "$(field "$tmp/cli.times" $n p10_us)" \
    "$(field "$tmp/cli.times" $n p90_us)" "$(field "$tmp/cli.times" $n cpu_median_us)" \
    "$(field "$tmp/cli.times" $n max_rss_kib)"
done
echo "   ratio of medians: wall clock ${ratio}x, CPU time (user + system) ${cpu_ratio}x"
row "CLI run / empty program, median time" "${ratio}x ($(awk -v u="$cli_us" 'BEGIN{printf "%.2f", u/1000}') / $(awk -v u="$min_us" 'BEGIN{printf "%.2f", u/1000}') ms)" \
  "<= 2x" "$(awk -v r="$ratio" 'BEGIN { print (r <= 2.0) ? "yes" : "no" }')"
row "CLI run peak memory (max RSS)" "$(mb "$cli_kib") MB" "< 8 MB" \
  "$(awk -v k="$cli_kib" 'BEGIN { print (k * 1024 < 8e6) ? "yes" : "no" }')"
row "empty program peak memory (reference)" "$(mb "$min_kib") MB" "-" "-"

# --- 2. start to panel shown, offscreen -----------------------------------------
echo
echo "2. ruvuvuri --sim --ui=qt to the panel shown (offscreen), $qt_runs runs"
# The probe plugin (bench/panel_shown_probe.cpp) ends the run once the panel has
# been painted; the program itself has no benchmark hook.
qt_env=(env QT_QPA_PLATFORM=offscreen QT_PLUGIN_PATH="$bin/bench/plugins"
  QT_QPA_GENERIC_PLUGINS=ruvuvuripanelshown XDG_RUNTIME_DIR="$tmp/xdg")
mkdir -m 700 "$tmp/xdg"
qt_figure="n/a"
qt_within="n/a"
if [ ! -e "$bin/libruvuvuri_qt.so" ]; then
  qt_reason="the Qt module is not built (Qt 6 development packages missing or RUVUVURI_QT=OFF)"
elif [ ! -e "$bin/bench/plugins/generic/libruvuvuri_bench_panel_shown.so" ]; then
  qt_reason="the panel-shown probe plugin was not built"
else
  qt_status=0
  timeout -k 1 5 "${qt_env[@]}" "$program" --sim --ui=qt </dev/null >"$tmp/qt.out" 2>"$tmp/qt.err" ||
    qt_status=$?
  if [ "$qt_status" -eq 124 ] || [ "$qt_status" -eq 137 ]; then
    qt_reason="the panel did not quit within 5 s (probe plugin not loaded, or no panel painted?)"
  elif [ "$qt_status" -ne 0 ]; then
    qt_reason="exit status $qt_status: $(head -n 1 "$tmp/qt.err")"
  elif [ -s "$tmp/qt.out" ]; then
    qt_reason="the console engine showed the panel instead of Qt: $(head -n 1 "$tmp/qt.err")"
  else
    "${qt_env[@]}" "$bin/bench/ruvuvuri_bench_proc_timer" --runs "$qt_runs" --warmup 2 \
      --timeout-ms 5000 -- "$program" --sim --ui=qt >"$tmp/qt.times"
    qt_run_status=$(field "$tmp/qt.times" 1 status)
    if [ "$qt_run_status" != ok ]; then
      qt_reason="a run ended with status $qt_run_status"
    else
      qt_us=$(field "$tmp/qt.times" 1 median_us)
      qt_reason=""
      qt_figure="$(awk -v u="$qt_us" 'BEGIN { printf "%.1f", u / 1000 }') ms"
      qt_within=$(awk -v u="$qt_us" 'BEGIN { print (u < 150000) ? "yes" : "no" }')
      printf '   median %.1f ms  p10 %.1f ms  p90 %.1f ms  max RSS %s KiB\n' \
        "$(awk -v u="$qt_us" 'BEGIN{print u/1000}')" \
        "$(awk -v u="$(field "$tmp/qt.times" 1 p10_us)" 'BEGIN{print u/1000}')" \
        "$(awk -v u="$(field "$tmp/qt.times" 1 p90_us)" 'BEGIN{print u/1000}')" \
        "$(field "$tmp/qt.times" 1 max_rss_kib)"
    fi
  fi
fi
if [ -n "$qt_reason" ]; then
  echo "   n/a: $qt_reason"
  qt_figure="n/a ($qt_reason)"
fi
row "start to Qt panel shown, median" "$qt_figure" "< 150 ms" "$qt_within"

# --- 3. port accesses per operation ----------------------------------------------
echo
echo "3. Port accesses per operation (trace lines other than comments, mem and irq)"
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

# --- 4. PLL coefficient search -----------------------------------------------------
echo
echo "4. PLL coefficient search, every whole-kHz target (Google Benchmark, CPU time)"
"$bin/bench/ruvuvuri_bench_pll_search" --benchmark_format=csv >"$tmp/pll.csv" 2>/dev/null ||
  fail "ruvuvuri_bench_pll_search failed"
# name,iterations,real_time,cpu_time,time_unit,bytes_per_second,items_per_second,...
awk -F, 'NR > 1 && $7 != "" { gsub(/"/, "", $1); printf "   %-24s %6.1f ns per call\n", $1, 1e9 / $7 }' \
  "$tmp/pll.csv"
pll_ns=$(awk -F, 'NR > 1 && $7 != "" { ns = 1e9 / $7; if (ns > worst) worst = ns } END { printf "%.1f", worst }' \
  "$tmp/pll.csv")
row "PLL search, ns per call (slowest sweep)" "$pll_ns ns" "< 20 ns" \
  "$(awk -v n="$pll_ns" 'BEGIN { print (n < 20) ? "yes" : "no" }')"

# --- 5. Simulator profile save --------------------------------------------------------
echo
echo "5. Simulator profile save and load, by card registers (Google Benchmark, real time)"
"$bin/bench/ruvuvuri_bench_profile_save" --benchmark_format=csv >"$tmp/profile.csv" 2>/dev/null ||
  fail "ruvuvuri_bench_profile_save failed"
# name,iterations,real_time,cpu_time,time_unit,...
awk -F, 'NR > 1 && $3 != "" { gsub(/"/, "", $1); printf "   %-28s %8.1f ms\n", $1, $3 }' "$tmp/profile.csv"
save_ms=$(awk -F, 'NR > 1 { gsub(/"/, "", $1) } $1 == "BM_SaveProfile/100000" { printf "%.1f", $3 }' \
  "$tmp/profile.csv")
row "profile save, 100,000 registers" "$save_ms ms" "< 1000 ms" \
  "$(awk -v n="$save_ms" 'BEGIN { print (n != "" && n < 1000) ? "yes" : "no" }')"

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
