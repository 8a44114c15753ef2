#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into build-fuzz/ and runs each for SECONDS seconds on its
# seed corpus (tests/fuzz/corpus/<target>/, copied so that what a run adds stays out of the tree).
# Any crash, leak, sanitizer report, oracle failure or timeout fails the run; the input that found
# it is kept in build-fuzz/findings/<target>/.
#
# Usage: scripts/fuzz.sh [SECONDS] [TARGET ...]     (default 60 seconds, every target)
set -euo pipefail
cd "$(dirname "$0")/.."
SECONDS_EACH="${1:-60}"
shift || true
TARGETS=("$@")
[ ${#TARGETS[@]} -gt 0 ] || TARGETS=(check_parse evaluate format regex records param_stream component)
JOBS="${JOBS:-$(nproc)}"

cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ -DSTRAND_FUZZ=ON \
    ${CMAKE_CXX_COMPILER_LAUNCHER:+-DCMAKE_CXX_COMPILER_LAUNCHER=$CMAKE_CXX_COMPILER_LAUNCHER} >/dev/null
cmake --build build-fuzz -j "$JOBS" --target fuzz_targets

failed=0
for target in "${TARGETS[@]}"; do
    work="build-fuzz/corpus/$target"
    findings="build-fuzz/findings/$target"
    mkdir -p "$work" "$findings"
    cp -n tests/fuzz/corpus/"$target"/* "$work"/ 2>/dev/null || true
    dict=()
    case "$target" in check_parse|evaluate) dict=(-dict=tests/fuzz/script.dict) ;; esac
    echo "fuzz: $target for $SECONDS_EACH s"
    if ! ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        "build-fuzz/fuzz/fuzz_$target" "${dict[@]}" -max_total_time="$SECONDS_EACH" -timeout=10 \
        -rss_limit_mb=4096 -max_len=8192 -print_final_stats=1 -artifact_prefix="$findings/" \
        "$work" > "build-fuzz/fuzz-$target.log" 2>&1; then
        echo "fuzz: $target FAILED; the log is build-fuzz/fuzz-$target.log, the input in $findings/"
        tail -n 40 "build-fuzz/fuzz-$target.log"
        failed=1
    else
        grep -E '^stat::number_of_executed_units|^stat::peak_rss_mb|cov: ' "build-fuzz/fuzz-$target.log" | tail -n 3
    fi
done
exit $failed
