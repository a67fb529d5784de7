#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang under the address and undefined-behaviour
# sanitizers and runs each for RUNS inputs (a million by default). A crash stops the run; the
# input that caused it is left in build-fuzz/ (crash-*), to become a case of the normal tests.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/scripts/deps.sh"
if ! command -v clang++ >/dev/null; then
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq clang
fi
build="$top/build-fuzz"
CC=clang CXX=clang++ cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQVR_FUZZ=ON \
    >/dev/null
targets=(${TARGETS:-fuzz_replies fuzz_numbers fuzz_scale fuzz_tables fuzz_store fuzz_scpi})
cmake --build "$build" -j"$(nproc)" --target "${targets[@]}"
cd "$build"
for t in "${targets[@]}"; do
    mkdir -p "corpus/$t"
    echo "== $t"
    "bin/$t" -runs="${RUNS:-1000000}" -max_len=512 -print_final_stats=1 "corpus/$t" 2>&1 |
        grep -E 'Done|stat::number_of_executed_units|ERROR|SUMMARY' || true
    # A crash ends libFuzzer with a non-zero status and a crash-* file; say so and stop.
    # (compgen, not ls: ls fails when any one of the patterns matches nothing.)
    if compgen -G 'crash-*' >/dev/null || compgen -G 'leak-*' >/dev/null ||
        compgen -G 'timeout-*' >/dev/null; then
        echo "fuzz: $t found an input that fails; see $build"
        exit 1
    fi
done
