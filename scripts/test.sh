#!/usr/bin/env bash
# Builds QVR and runs every test headless: once as released, once under the address and
# undefined-behaviour sanitizers.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/scripts/deps.sh"
export QT_QPA_PLATFORM=offscreen

bash "$top/scripts/build.sh" build
(cd "$top/build" && ctest --output-on-failure -j"$(nproc)")

bash "$top/scripts/build.sh" build-asan -DQVR_SANITIZE=ON

export ASAN_OPTIONS=abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
(cd "$top/build-asan" && ctest --output-on-failure -j"$(nproc)")
