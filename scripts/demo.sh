#!/usr/bin/env bash
# `make demo`: builds the strand command into build/ (installing the build prerequisites first
# when some are missing) and runs the three example scripts of examples/ over
# examples/products.csv: the restock manipulator, the premium filter, and the category totals
# kept in globals; then checks the two component definitions of examples/components/.
#
# Environment: BUILD_TYPE (default RelWithDebInfo) and JOBS (default: the number of CPUs), as
# for the Makefile.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}"
JOBS="${JOBS:-$(nproc 2>/dev/null || echo 2)}"
STRAND=build/strand
DATA=examples/products.csv

# --- prerequisites -----------------------------------------------------------------------------

# What the configure step looks for: the tools, then one header (or pkg-config module) per
# library package that scripts/install-deps.sh installs.
missing_prerequisite() {
    local c h
    for c in cmake make c++ pkg-config runantlr; do
        command -v "$c" >/dev/null 2>&1 || { echo "$c"; return 0; }
    done
    for h in antlr/CharScanner.hpp CLI/CLI.hpp simdjson.h pcre2.h uuid/uuid.h zlib.h \
             boost/version.hpp date/date.h editline/readline.h gtest/gtest.h gmock/gmock.h benchmark/benchmark.h; do
        [ -e "/usr/include/$h" ] || { echo "$h"; return 0; }
    done
    for m in libpcre2-16 lua5.4; do
        pkg-config --exists "$m" 2>/dev/null || { echo "$m (pkg-config)"; return 0; }
    done
    return 1
}

if what=$(missing_prerequisite); then
    echo "demo: $what is missing; installing the build prerequisites"
    bash scripts/install-deps.sh
fi

# --- build -------------------------------------------------------------------------------------

# The same configure as `make build` (only when build/ is not configured yet), then the one target.
if [ ! -f build/CMakeCache.txt ]; then
    cmake -S . -B build -DCMAKE_BUILD_TYPE="$BUILD_TYPE"
fi
cmake --build build -j "$JOBS" --target strand

# --- the examples ------------------------------------------------------------------------------

# The outputs stay in build/demo/ for a closer look.
out=build/demo
mkdir -p "$out"

show() {   # prints the command, then runs it
    printf '\n$ %s\n' "$*"
    "$@"
}

records=$(( $(wc -l < "$DATA") - 1 ))

echo
echo "== 1. A manipulator: examples/restock.ss adds stock_value, reorder, shipping and label"
echo "   to each of the $records products (first 15 lines of the output)"
show "$STRAND" run examples/restock.ss "$DATA" -o "$out/restock.csv"
head -n 15 "$out/restock.csv"

echo
echo "== 2. A filter: examples/premium-filter.ss keeps in-stock Hardware and Kitchenware"
echo "   products above 100"
show "$STRAND" run --filter examples/premium-filter.ss "$DATA" -o "$out/premium.csv" \
    --fail "$out/rest.csv"
passed=$(( $(wc -l < "$out/premium.csv") - 1 ))
failed=$(( $(wc -l < "$out/rest.csv") - 1 ))
echo "$passed of $records records pass the filter ($failed went to the --fail file); the first 5:"
head -n 6 "$out/premium.csv"

echo
echo "== 3. Globals across records: examples/category-totals.ss with an init and a final script;"
echo "   --print-globals prints the globals on standard error at the end"
if ! show "$STRAND" run --init-file examples/category-totals.init.ss \
        --final-file examples/category-totals.final.ss --print-globals \
        examples/category-totals.ss "$DATA" -o "$out/totals.csv" 2> "$out/globals.json"; then
    cat "$out/globals.json" >&2
    exit 1
fi
if command -v python3 >/dev/null 2>&1 &&
   python3 -m json.tool < "$out/globals.json" > "$out/globals.pretty" 2>/dev/null; then
    cat "$out/globals.pretty"
else
    cat "$out/globals.json"
fi

echo
echo "== 4. Component parameters: examples/components/record-filter.json checked as defined, then"
echo "   with the advanced mode switched on and a tolerance above the threshold (exit status 1)"
globals='{"RunFolder": "/srv/pipeline/run-42", "batch": 6}'
show "$STRAND" params check examples/components/record-filter.json --globals "$globals"
status=0
show "$STRAND" params check examples/components/record-filter.json --globals "$globals" \
    --set Mode=advanced --set Tolerance=250 > "$out/record-filter.txt" || status=$?
echo "(exit status $status; the parameters whose verdicts changed, and the summary:)"
grep -A5 -e '^AdvancedOptions' -e '^Tolerance' "$out/record-filter.txt"
tail -n 1 "$out/record-filter.txt"

echo
echo "== 5. examples/components/csv-export.json with compression switched on and the extension it asks for, as JSON"
show "$STRAND" params check examples/components/csv-export.json --globals '{"rows_per_file": 50, "batch": 7}' \
    --set Compress=true --set Extension=.csv.gz --json

echo
echo "demo: done. The outputs are in $out/; examples/README.md describes the scripts and"
echo "examples/components/README.md the components."
