#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Builds the libFuzzer targets with clang into ./build-fuzz (or $BUILD_DIR) and
# runs each for FUZZ_SECONDS (default 60) on a copy of its committed corpus.
# Arguments name the targets to run (default: all). Exits non-zero when a
# target finds a crash, leak, timeout, memory blow-up or sanitizer report, and
# prints where the reproducer is.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh fuzz

root=$PWD
build_dir=${BUILD_DIR:-build-fuzz}
seconds=${FUZZ_SECONDS:-60}
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(fuzz_card_check fuzz_options fuzz_profile)
fi

cmake -S . -B "$build_dir" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DRUVUVURI_FUZZ=ON -DRUVUVURI_WERROR=ON -DRUVUVURI_QT=OFF \
  -DRUVUVURI_TESTS=OFF -DRUVUVURI_BENCH=OFF >/dev/null
cmake --build "$build_dir" -j"$(nproc)" --target "${targets[@]}"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

failed=()
for target in "${targets[@]}"; do
  work=$root/$build_dir/fuzz-runs/$target
  # A fresh copy each run, so that the committed corpus never grows.
  rm -rf "$work"
  mkdir -p "$work/corpus" "$work/artifacts"
  cp tests/fuzz/corpus/"$target"/* "$work/corpus/"
  dict=()
  if [ -f "tests/fuzz/$target.dict" ]; then
    dict=(-dict="tests/fuzz/$target.dict")
  fi
  echo "fuzz: $target for ${seconds}s"
  status=0
  "$build_dir/tests/fuzz/$target" "$work/corpus" "${dict[@]}" \
    -max_total_time="$seconds" -timeout=5 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$work/artifacts/" >"$work/log" 2>&1 || status=$?
  grep -E '^stat::number_of_executed_units|^stat::peak_rss_mb' "$work/log" | sed 's/^/  /' || true
  reproducers=$(find "$work/artifacts" -type f)
  if [ "$status" -ne 0 ] || [ -n "$reproducers" ]; then
    failed+=("$target")
    echo "fuzz: $target FOUND A PROBLEM (exit status $status); log: $work/log" >&2
    grep -E 'ERROR: |SUMMARY: |runtime error: |fuzz_[a-z_]+: ' "$work/log" | head -n 10 >&2 || true
    for file in $reproducers; do
      echo "fuzz: reproducer $file; replay it with: $build_dir/tests/fuzz/$target $file" >&2
    done
  fi
done

if [ ${#failed[@]} -ne 0 ]; then
  echo "fuzz: findings in ${failed[*]}" >&2
  exit 1
fi
echo "fuzz: no findings in ${targets[*]}"
