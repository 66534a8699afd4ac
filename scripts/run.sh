#!/usr/bin/env bash
# Sets up, builds and runs the program. Without arguments it runs on the built-in
# simulated card; any arguments are passed to the program instead.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
bash scripts/build.sh >/dev/null
if [ $# -eq 0 ]; then set -- --sim; fi
exec ./build/ruvuvuri "$@"
