#!/usr/bin/env bash
# Times whole-process runs of `strand run` against three peers -- Lua 5.4, mawk and Miller --
# on the same generated CSV file, for these small record workloads:
#
#   arith    total := price * quantity; tax := total * 0.2; net := total - tax   (three new columns)
#   label    label := name . '-' . code                                         (one new column)
#   filter   keep the records whose price > 100 and whose name starts with A or a
#   strings  label := toupper(name) . '-' . substring(code, 1, 3) . '#' . id; lcode := tolower(code)
#   masked   masked := rsubst(text, '[0-9]+', '#')             (the first run of digits replaced)
#   format   third := format('%.2f', price / 3); year := integer(substring(date, 1, 4))
#   loop     #acc := 0; FOR i IN 1 .. 10 LOOP #acc += i; END LOOP; loopsum := #acc + quantity;
#            @n += 1; seq := @n                  (a script-local sum and a global record counter)
#
# arith, label, filter and loop read id,name,code,price,quantity; the others read a second file with
# the same records and two more fields, text (about 40 characters with digits) and date (YYYY-MM-DD).
#
# Every tool reads the CSV file and writes CSV to a file: the header plus the new columns, or for
# the filter the passing records. Each run is timed as wall-clock seconds (bash `time`), best of
# RUNS; the outputs must agree on the record count, and spot checks compare values of the first,
# middle and last record (and, for the filter, the list of passing ids). The Markdown table goes
# to standard output and to bench/peers-results.md.
#
# Usage: bench/run-peers.sh [options] [RECORDS]
#
#   -n, --records N   records in the generated input (default 1000000; env PEERS_RECORDS)
#   -s, --strand PATH the strand binary (default build/strand in the repository; env STRAND)
#   -w, --work DIR    work folder for the input, scripts and outputs
#                     (default /tmp/strand-peers; env PEERS_WORK_DIR)
#   -r, --runs N      timed runs per tool and workload, the best counts (default 3; env PEERS_RUNS)
#   -o, --results F   where the Markdown table is written (default bench/peers-results.md;
#                     env PEERS_RESULTS)
#   --peers-only      time only the peers (no strand column, no ratios)
#   -h, --help        this text
#
# Examples:
#   bench/run-peers.sh                          # 1,000,000 records, build/strand
#   bench/run-peers.sh 20000                    # a quick run
#   STRAND=/tmp/rel/strand bench/run-peers.sh -r 5
#
# The peers come from Debian packages: sudo apt-get install -y lua5.4 mawk miller
# (scripts/install-deps.sh installs them too). A missing peer is reported and its column skipped.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

RECORDS="${PEERS_RECORDS:-1000000}"
STRAND="${STRAND:-$ROOT/build/strand}"
WORK="${PEERS_WORK_DIR:-/tmp/strand-peers}"
RUNS="${PEERS_RUNS:-3}"
RESULTS="${PEERS_RESULTS:-$ROOT/bench/peers-results.md}"
# Taken before the results file is rewritten, which would make every tree look modified.
SOURCE_REV="$(git -C "$ROOT" describe --always --dirty 2>/dev/null || echo 'unknown')"
PEERS_ONLY=0

usage() { sed -n '2,/^set -euo/p' "${BASH_SOURCE[0]}" | sed '$d' | sed 's/^# \{0,1\}//'; }
die() { echo "run-peers: $*" >&2; exit 1; }
note() { echo "run-peers: $*" >&2; }

while [ $# -gt 0 ]; do
    case "$1" in
        -n|--records) [ $# -ge 2 ] || die "$1 needs a value"; RECORDS="$2"; shift 2 ;;
        -s|--strand)  [ $# -ge 2 ] || die "$1 needs a value"; STRAND="$2"; shift 2 ;;
        -w|--work)    [ $# -ge 2 ] || die "$1 needs a value"; WORK="$2"; shift 2 ;;
        -r|--runs)    [ $# -ge 2 ] || die "$1 needs a value"; RUNS="$2"; shift 2 ;;
        -o|--results) [ $# -ge 2 ] || die "$1 needs a value"; RESULTS="$2"; shift 2 ;;
        --peers-only) PEERS_ONLY=1; shift ;;
        -h|--help)    usage; exit 0 ;;
        [0-9]*)       RECORDS="$1"; shift ;;
        *)            usage >&2; exit 2 ;;
    esac
done

case "$RECORDS" in ''|*[!0-9]*) die "the record count must be a whole number, not '$RECORDS'" ;; esac
case "$RUNS" in ''|*[!0-9]*|0) die "the number of runs must be a whole number above 0, not '$RUNS'" ;; esac
[ "$RECORDS" -ge 1 ] || die "the record count must be at least 1"

# --- tools -------------------------------------------------------------------------------------

TOOLS=()          # the tools that take part, in table order
declare -A HAVE=()
missing=()

if [ "$PEERS_ONLY" -eq 0 ]; then
    case "$STRAND" in /*) ;; *) STRAND="$(pwd)/$STRAND" ;; esac
    if [ ! -x "$STRAND" ]; then
        die "strand is missing: no executable at $STRAND (run 'make build', or pass --strand PATH; --peers-only times the peers alone)"
    fi
    # the subcommands are listed in the help text, one per line, indented
    if ! "$STRAND" --help 2>/dev/null | grep -Eq '^[[:space:]]+run([[:space:]]|$)'; then
        die "$STRAND has no 'run' command (rebuild it from the current sources; --peers-only times the peers alone)"
    fi
    TOOLS+=(strand); HAVE[strand]=1
fi
for t in lua mawk miller; do
    case "$t" in lua) cmd=lua5.4 ;; mawk) cmd=mawk ;; miller) cmd=mlr ;; esac
    if command -v "$cmd" >/dev/null 2>&1; then
        TOOLS+=("$t"); HAVE[$t]=1
    else
        missing+=("$t ($cmd)")
    fi
done
if [ ${#missing[@]} -gt 0 ]; then
    note "missing peer(s): ${missing[*]}; install with: sudo apt-get install -y lua5.4 mawk miller"
fi
command -v awk >/dev/null 2>&1 || die "awk is missing (it generates and checks the data)"
[ ${#TOOLS[@]} -gt 0 ] || die "no tool to time"

mkdir -p "$WORK/out"
INPUT="$WORK/input-$RECORDS.csv"
export LC_ALL=C

# --- input -------------------------------------------------------------------------------------

# Deterministic generator: the Park-Miller minimal standard generator (exact in awk's doubles).
# id counts from 1; name is two words joined by _, the first capitalised half of the time (one in
# six names starts with A or a); code is a letter and five digits; price has two decimals
# (0.50 to 250.00); quantity is 1 to 100.
generate_input() {
    awk -v n="$RECORDS" 'BEGIN {
        nw = split("anchor amber apple arch atlas axle beacon bolt bracket cable clamp copper " \
                   "delta ember falcon gear harbor hinge iron jasper kettle lantern lever magnet " \
                   "nickel orbit pulley quartz ratchet rivet sprocket timber valve washer widget yarrow", w, " ")
        seed = 20240315
        print "id,name,code,price,quantity"
        for (i = 1; i <= n; i++) {
            seed = (seed * 16807) % 2147483647; a = w[1 + seed % nw]
            seed = (seed * 16807) % 2147483647; if (seed % 2) a = toupper(substr(a, 1, 1)) substr(a, 2)
            seed = (seed * 16807) % 2147483647; b = w[1 + seed % nw]
            seed = (seed * 16807) % 2147483647; code = sprintf("%c%05d", 65 + seed % 26, int(seed / 26) % 100000)
            seed = (seed * 16807) % 2147483647; cents = 50 + seed % 24951
            seed = (seed * 16807) % 2147483647; qty = 1 + seed % 100
            printf "%d,%s_%s,%s,%d.%02d,%d\n", i, a, b, code, int(cents / 100), cents % 100, qty
        }
    }'
}

if [ ! -s "$INPUT" ]; then
    note "generating $RECORDS records into $INPUT"
    generate_input > "$INPUT.tmp"
    mv "$INPUT.tmp" "$INPUT"
fi

# The wider input of the string workloads: every line of the input with text and date appended,
# drawn from a generator of their own so that the first five fields stay those of the input.
# text is a word or two, then numbers and words (the numbers of 1 to 5 digits); date lies in 1990
# to 2029.
INPUT_WIDE="$WORK/input-wide-$RECORDS.csv"
generate_wide() {
    awk -F, 'BEGIN {
        nw = split("bay crew dock fleet gate hold lane mill pier port rack shed yard zone", w, " ")
        seed = 19700101
    }
    NR == 1 { print $0 ",text,date"; next }
    {
        seed = (seed * 16807) % 2147483647; lead = w[1 + seed % nw]
        seed = (seed * 16807) % 2147483647; if (seed % 2) lead = lead " " w[1 + int(seed / 2) % nw]
        seed = (seed * 16807) % 2147483647; n1 = seed % 100000
        seed = (seed * 16807) % 2147483647; x = w[1 + seed % nw]
        seed = (seed * 16807) % 2147483647; n2 = seed % 1000
        seed = (seed * 16807) % 2147483647; y = w[1 + seed % nw]
        seed = (seed * 16807) % 2147483647; n3 = seed % 100
        seed = (seed * 16807) % 2147483647; year = 1990 + seed % 40
        seed = (seed * 16807) % 2147483647; month = 1 + seed % 12
        seed = (seed * 16807) % 2147483647; day = 1 + seed % 28
        printf "%s,%s %d to %s %d by %s %d,%04d-%02d-%02d\n", $0, lead, n1, x, n2, y, n3, year, month, day
    }' "$INPUT"
}
if [ ! -s "$INPUT_WIDE" ]; then
    note "generating the wider input $INPUT_WIDE"
    generate_wide > "$INPUT_WIDE.tmp"
    mv "$INPUT_WIDE.tmp" "$INPUT_WIDE"
fi
# input_of WORKLOAD: the file the workload reads
input_of() {
    case "$1" in strings|masked|format) echo "$INPUT_WIDE" ;; *) echo "$INPUT" ;; esac
}

# --- the workloads, one script per tool --------------------------------------------------------

cat > "$WORK/arith.ss" <<'EOF'
total := price * quantity;
tax := total * 0.2;
net := total - tax;
EOF
cat > "$WORK/label.ss" <<'EOF'
label := name . '-' . code;
EOF
cat > "$WORK/filter.ss" <<'EOF'
price > 100 AND name LIKE 'a%';
EOF
cat > "$WORK/strings.ss" <<'EOF'
label := toupper(name) . '-' . substring(code, 1, 3) . '#' . id;
lcode := tolower(code);
EOF
cat > "$WORK/masked.ss" <<'EOF'
masked := rsubst(text, '[0-9]+', '#');
EOF
cat > "$WORK/format.ss" <<'EOF'
third := format('%.2f', price / 3);
year := integer(substring(date, 1, 4));
EOF
cat > "$WORK/loop.ss" <<'EOF'
#acc := 0;
FOR i IN 1 .. 10 LOOP
    #acc += i;
END LOOP;
loopsum := #acc + quantity;
@n += 1;
seq := @n;
EOF

# Lua: io.lines, a pattern match splits the five fields, tonumber converts, and the output lines
# are gathered in a table and written with table.concat in blocks.
lua_script() {   # lua_script BODY-LINES HEADER-SUFFIX
    cat <<EOF
local input, output = arg[1], arg[2]
local out = assert(io.open(output, "w"))
out:setvbuf("full", 65536)
local match, tonumber, concat = string.match, tonumber, table.concat
local buf, n = {}, 0
local lines = io.lines(input)
local header = lines()
out:write(header, "$2\n")
for line in lines do
    local id, name, code, price, quantity, text, date = match(line, "^([^,]*),([^,]*),([^,]*),([^,]*),([^,]*),?([^,]*),?([^,]*)")
$1
    if n >= 4096 then
        out:write(concat(buf, "", 1, n))
        n = 0
    end
end
out:write(concat(buf, "", 1, n))
out:close()
EOF
}
lua_script '    local total = tonumber(price) * tonumber(quantity)
    local tax = total * 0.2
    n = n + 1
    buf[n] = line .. "," .. total .. "," .. tax .. "," .. (total - tax) .. "\n"' ",total,tax,net" > "$WORK/arith.lua"
lua_script '    n = n + 1
    buf[n] = line .. "," .. name .. "-" .. code .. "\n"' ",label" > "$WORK/label.lua"
lua_script '    if tonumber(price) > 100 and match(name, "^[Aa]") then
        n = n + 1
        buf[n] = line .. "\n"
    end' "" > "$WORK/filter.lua"
lua_script '    n = n + 1
    buf[n] = line .. "," .. upper(name) .. "-" .. sub(code, 1, 3) .. "#" .. id .. "," .. lower(code) .. "\n"' ",label,lcode" |
    sed 's/^local match, tonumber, concat = .*/&\nlocal upper, lower, sub = string.upper, string.lower, string.sub/' > "$WORK/strings.lua"
lua_script '    n = n + 1
    buf[n] = line .. "," .. (gsub(text, "%d+", "#", 1)) .. "\n"' ",masked" |
    sed 's/^local match, tonumber, concat = .*/&\nlocal gsub = string.gsub/' > "$WORK/masked.lua"
lua_script '    n = n + 1
    buf[n] = line .. "," .. format("%.2f", tonumber(price) / 3) .. "," .. tonumber(sub(date, 1, 4)) .. "\n"' ",third,year" |
    sed 's/^local match, tonumber, concat = .*/&\nlocal format, sub = string.format, string.sub/' > "$WORK/format.lua"
lua_script '    local acc = 0
    for i = 1, 10 do acc = acc + i end
    seq = seq + 1
    n = n + 1
    buf[n] = line .. "," .. (acc + tonumber(quantity)) .. "," .. seq .. "\n"' ",loopsum,seq" |
    sed 's/^local match, tonumber, concat = .*/&\nlocal seq = 0/' > "$WORK/loop.lua"

MAWK_ARITH='NR == 1 { print $0, "total", "tax", "net"; next } { t = $4 * $5; x = t * 0.2; print $0, t, x, t - x }'
MAWK_LABEL='NR == 1 { print $0, "label"; next } { print $0, $2 "-" $3 }'
MAWK_FILTER='NR == 1 || ($4 + 0 > 100 && $2 ~ /^[Aa]/)'
MAWK_STRINGS='NR == 1 { print $0, "label", "lcode"; next } { print $0, toupper($2) "-" substr($3, 1, 3) "#" $1, tolower($3) }'
MAWK_MASKED='NR == 1 { print $0, "masked"; next } { t = $6; sub(/[0-9]+/, "#", t); print $0, t }'
MAWK_FORMAT='NR == 1 { print $0, "third", "year"; next } { print $0, sprintf("%.2f", $4 / 3), substr($7, 1, 4) + 0 }'
MAWK_LOOP='NR == 1 { print $0, "loopsum", "seq"; next } { acc = 0; for (i = 1; i <= 10; i++) acc += i; n++; print $0, acc + $5, n }'

MLR_ARITH='$total = $price * $quantity; $tax = $total * 0.2; $net = $total - $tax'
MLR_LABEL='$label = $name . "-" . $code'
MLR_FILTER='$price > 100 && $name =~ "^[Aa]"'
MLR_STRINGS='$label = toupper($name) . "-" . substr1($code, 1, 3) . "#" . $id; $lcode = tolower($code)'
MLR_MASKED='$masked = sub($text, "[0-9]+", "#")'
MLR_FORMAT='$third = fmtnum($price / 3, "%.2f"); $year = int(substr1($date, 1, 4))'
MLR_LOOP='var acc = 0; for (int i = 1; i <= 10; i += 1) { acc += i } $loopsum = acc + $quantity; @n += 1; $seq = @n'

# run TOOL WORKLOAD: one run, output in $WORK/out/TOOL-WORKLOAD.csv
run() {
    local out="$WORK/out/$1-$2.csv" input
    input=$(input_of "$2")
    case "$1" in
        strand)
            if [ "$2" = filter ]; then
                "$STRAND" run --quiet --filter "$WORK/filter.ss" "$INPUT" -o "$out"
            elif [ "$2" = loop ]; then
                "$STRAND" run --quiet --init '@n := 0' "$WORK/loop.ss" "$input" -o "$out"
            else
                "$STRAND" run --quiet "$WORK/$2.ss" "$input" -o "$out"
            fi ;;
        lua)
            lua5.4 "$WORK/$2.lua" "$input" "$out" ;;
        mawk)
            local prog
            case "$2" in
                arith) prog=$MAWK_ARITH ;; label) prog=$MAWK_LABEL ;; filter) prog=$MAWK_FILTER ;;
                strings) prog=$MAWK_STRINGS ;; masked) prog=$MAWK_MASKED ;;
                format) prog=$MAWK_FORMAT ;; loop) prog=$MAWK_LOOP ;;
            esac
            mawk -F, -v OFS=, -v CONVFMT=%.15g -v OFMT=%.15g "$prog" "$input" > "$out" ;;
        miller)
            case "$2" in
                arith)  mlr --icsv --ocsv put "$MLR_ARITH" "$INPUT" > "$out" ;;
                label)  mlr --icsv --ocsv put "$MLR_LABEL" "$INPUT" > "$out" ;;
                filter) mlr --icsv --ocsv filter "$MLR_FILTER" "$INPUT" > "$out" ;;
                strings) mlr --icsv --ocsv put "$MLR_STRINGS" "$input" > "$out" ;;
                masked) mlr --icsv --ocsv put "$MLR_MASKED" "$input" > "$out" ;;
                format) mlr --icsv --ocsv put "$MLR_FORMAT" "$input" > "$out" ;;
                loop)   mlr --icsv --ocsv put "$MLR_LOOP" "$input" > "$out" ;;
            esac ;;
    esac
}

# best_time TOOL WORKLOAD: prints the best wall-clock seconds of RUNS runs
best_time() {
    local i t best="" err="$WORK/out/$1-$2.err"
    for ((i = 1; i <= RUNS; i++)); do
        if ! t=$( { TIMEFORMAT=%3R; time run "$1" "$2" 2>"$err"; } 2>&1 ); then
            note "$1 failed on the $2 workload:"
            sed 's/^/    /' "$err" | head -20 >&2
            return 1
        fi
        if [ -z "$best" ] || awk -v a="$t" -v b="$best" 'BEGIN { exit !(a < b) }'; then
            best=$t
        fi
    done
    echo "$best"
}

# --- checks ------------------------------------------------------------------------------------

MID=$(( (RECORDS + 1) / 2 ))

# count FILE: records in a CSV output (the header line not counted; tolerates CR LF)
count() {
    awk 'NR == 1 && /^"?id"?,/ { next } { c++ } END { print c + 0 }' "$1"
}

# values FILE COLUMNS...: for the ids 1, MID and RECORDS, "id=value|value..." of the named columns
values() {
    local file=$1; shift
    awk -F, -v cols="$*" -v mid="$MID" -v last="$RECORDS" '
        { sub(/\r$/, ""); gsub(/"/, "") }
        NR == 1 { for (i = 1; i <= NF; i++) pos[$i] = i; nc = split(cols, c, " "); next }
        $pos["id"] == 1 || $pos["id"] == mid || $pos["id"] == last {
            s = $pos["id"] "="
            for (i = 1; i <= nc; i++) s = s (i > 1 ? "|" : "") ((c[i] in pos) ? $pos[c[i]] : "?")
            print s
        }' "$file"
}

# expected values from the input, computed here independently of the tools
expect_arith() {
    awk -F, -v mid="$MID" -v last="$RECORDS" 'NR > 1 && ($1 == 1 || $1 == mid || $1 == last) {
        t = $4 * $5; printf "%s=%.17g|%.17g|%.17g\n", $1, t, t * 0.2, t - t * 0.2 }' "$INPUT"
}
expect_label() {
    awk -F, -v mid="$MID" -v last="$RECORDS" 'NR > 1 && ($1 == 1 || $1 == mid || $1 == last) {
        print $1 "=" $2 "-" $3 }' "$INPUT"
}
expect_strings() {
    awk -F, -v mid="$MID" -v last="$RECORDS" 'NR > 1 && ($1 == 1 || $1 == mid || $1 == last) {
        print $1 "=" toupper($2) "-" substr($3, 1, 3) "#" $1 "|" tolower($3) }' "$INPUT_WIDE"
}
expect_masked() {
    awk -F, -v mid="$MID" -v last="$RECORDS" 'NR > 1 && ($1 == 1 || $1 == mid || $1 == last) {
        t = $6; sub(/[0-9]+/, "#", t); print $1 "=" t }' "$INPUT_WIDE"
}
expect_format() {
    awk -F, -v mid="$MID" -v last="$RECORDS" 'NR > 1 && ($1 == 1 || $1 == mid || $1 == last) {
        printf "%s=%.2f|%d\n", $1, $4 / 3, substr($7, 1, 4) }' "$INPUT_WIDE"
}
expect_loop() {
    awk -F, -v mid="$MID" -v last="$RECORDS" 'NR > 1 && ($1 == 1 || $1 == mid || $1 == last) {
        print $1 "=" (55 + $5) "|" (NR - 1) }' "$INPUT"
}
expect_filter_ids() {
    awk -F, 'NR > 1 && $4 + 0 > 100 && tolower(substr($2, 1, 1)) == "a" { print $1 }' "$INPUT" | cksum
}
filter_ids() {
    awk -F, '{ sub(/\r$/, ""); gsub(/"/, "") } NR == 1 && $1 == "id" { next } { print $1 }' "$1" | cksum
}

# same_numbers "id=a|b|c" "id=a|b|c": equal ids and numbers within a relative 1e-9
same_numbers() {
    awk -v x="$1" -v y="$2" 'BEGIN {
        nx = split(x, a, "\n"); ny = split(y, b, "\n"); if (nx != ny) exit 1
        for (i = 1; i <= nx; i++) {
            split(a[i], ka, "="); split(b[i], kb, "="); if (ka[1] != kb[1]) exit 1
            n = split(ka[2], va, "|"); if (split(kb[2], vb, "|") != n) exit 1
            for (j = 1; j <= n; j++) {
                if (va[j] !~ /^-?[0-9.eE+-]+$/ || vb[j] !~ /^-?[0-9.eE+-]+$/) exit 1
                d = va[j] - vb[j]; if (d < 0) d = -d
                m = vb[j] < 0 ? -vb[j] : vb[j]; if (m < 1) m = 1
                if (d > 1e-9 * m) exit 1
            }
        }
    }'
}

# --- measure -----------------------------------------------------------------------------------

WORKLOADS=(arith label filter strings masked format loop)
declare -A TITLE=(
    [arith]="arithmetic: total, tax, net"
    [label]="string: label := name . '-' . code"
    [filter]="filter: price > 100 and name LIKE 'a%'"
    [strings]="string building: toupper, substring, tolower"
    [masked]="regex: masked := rsubst(text, '[0-9]+', '#')"
    [format]="formatting: format('%.2f', price / 3), integer(substring(date, 1, 4))"
    [loop]="loop: FOR i IN 1 .. 10 into a local, a global counter"
)
declare -A SECONDS_OF=() PROBLEMS=()
failures=0

passing=$(awk -F, 'NR > 1 && $4 + 0 > 100 && tolower(substr($2, 1, 1)) == "a"' "$INPUT" | wc -l)
passing=$((passing + 0))

for w in "${WORKLOADS[@]}"; do
    case "$w" in
        arith)  want_count=$RECORDS; want=$(expect_arith) ;;
        label)  want_count=$RECORDS; want=$(expect_label) ;;
        filter) want_count=$passing; want=$(expect_filter_ids) ;;
        strings) want_count=$RECORDS; want=$(expect_strings) ;;
        masked) want_count=$RECORDS; want=$(expect_masked) ;;
        format) want_count=$RECORDS; want=$(expect_format) ;;
        loop)   want_count=$RECORDS; want=$(expect_loop) ;;
    esac
    for t in "${TOOLS[@]}"; do
        note "$w: $t (best of $RUNS)"
        if ! s=$(best_time "$t" "$w"); then
            SECONDS_OF[$t.$w]="failed"; failures=$((failures + 1)); continue
        fi
        SECONDS_OF[$t.$w]=$s
        out="$WORK/out/$t-$w.csv"
        got_count=$(count "$out")
        problem=""
        if [ "$got_count" != "$want_count" ]; then
            problem="$got_count records, expected $want_count"
        else
            case "$w" in
                arith)  got=$(values "$out" total tax net)
                        same_numbers "$got" "$want" || problem="values differ: got $(echo $got) expected $(echo $want)" ;;
                label)  got=$(values "$out" label)
                        [ "$got" = "$want" ] || problem="labels differ: got $(echo $got) expected $(echo $want)" ;;
                strings) got=$(values "$out" label lcode)
                        [ "$got" = "$want" ] || problem="labels differ: got $(echo $got) expected $(echo $want)" ;;
                masked) got=$(values "$out" masked)
                        [ "$got" = "$want" ] || problem="masked texts differ: got $(echo $got) expected $(echo $want)" ;;
                format) got=$(values "$out" third year)
                        [ "$got" = "$want" ] || problem="formatted values differ: got $(echo $got) expected $(echo $want)" ;;
                loop)   got=$(values "$out" loopsum seq)
                        [ "$got" = "$want" ] || problem="loop sums differ: got $(echo $got) expected $(echo $want)" ;;
                filter) got=$(filter_ids "$out")
                        [ "$got" = "$want" ] || problem="the passing ids differ" ;;
            esac
        fi
        if [ -n "$problem" ]; then
            PROBLEMS[$t.$w]=$problem; failures=$((failures + 1))
            note "$t $w: CHECK FAILED: $problem"
        fi
    done
done

# --- report ------------------------------------------------------------------------------------

ratio() {   # ratio PEER-SECONDS STRAND-SECONDS
    awk -v p="$1" -v s="$2" 'BEGIN {
        if (p !~ /^[0-9.]+$/ || s !~ /^[0-9.]+$/ || s + 0 == 0) print "n/a"; else printf "%.2f", p / s }'
}
cell() {    # cell TOOL WORKLOAD
    local k="$1.$2"
    if [ -z "${HAVE[$1]:-}" ]; then echo "missing"
    elif [ -n "${PROBLEMS[$k]:-}" ]; then echo "${SECONDS_OF[$k]} (check failed)"
    else echo "${SECONDS_OF[$k]}"; fi
}

version_of() {
    case "$1" in
        strand) echo "strand (source $SOURCE_REV)" ;;
        lua)    lua5.4 -v 2>&1 | awk '{ print $1, $2; exit }' ;;
        mawk)   mawk -W version 2>&1 | awk '{ print $1, $2; exit }' ;;
        miller) mlr --version 2>&1 | awk '{ print "miller", $2; exit }' ;;
    esac
}

report() {
    local cpu
    cpu=$(awk -F': ' '/^model name/ { print $2; exit }' /proc/cpuinfo 2>/dev/null || true)
    echo "# strand run against its peers"
    echo
    echo "Whole-process wall-clock seconds, best of $RUNS, on $RECORDS CSV records" \
         "(\`id,name,code,price,quantity\`, $(du -h "$INPUT" | cut -f1)); each tool reads the file" \
         "and writes CSV to a file. A ratio is the peer's time divided by strand's: above 1 means" \
         "strand is faster. Generated by \`bench/run-peers.sh\` on $(date -u '+%Y-%m-%d %H:%M UTC')," \
         "${cpu:-unknown CPU}, $(nproc) CPUs."
    echo
    local versions=() t
    for t in strand lua mawk miller; do
        [ -n "${HAVE[$t]:-}" ] && versions+=("$(version_of "$t")")
    done
    echo "Tools: $(IFS=','; echo "${versions[*]}" | sed 's/,/, /g')."
    echo
    if [ -n "${HAVE[strand]:-}" ]; then
        echo "| workload | strand s | lua s | mawk s | miller s | lua/strand | mawk/strand | miller/strand |"
        echo "|---|---:|---:|---:|---:|---:|---:|---:|"
    else
        echo "| workload | lua s | mawk s | miller s |"
        echo "|---|---:|---:|---:|"
    fi
    local w row
    for w in "${WORKLOADS[@]}"; do
        row="| ${TITLE[$w]} |"
        if [ -n "${HAVE[strand]:-}" ]; then row="$row $(cell strand "$w") |"; fi
        for t in lua mawk miller; do row="$row $(cell "$t" "$w") |"; done
        if [ -n "${HAVE[strand]:-}" ]; then
            for t in lua mawk miller; do
                row="$row $(ratio "${SECONDS_OF[$t.$w]:-}" "${SECONDS_OF[strand.$w]:-}") |"
            done
        fi
        echo "$row"
    done
    echo
    echo "The filter passes $passing of $RECORDS records. Record counts agree across the tools" \
         "unless a cell says \"check failed\"; arithmetic values of the first, middle and last" \
         "record were compared within a relative 1e-9, labels exactly, and the filter's passing ids" \
         "as a whole."
    local k
    for k in "${!PROBLEMS[@]}"; do echo; echo "- check failed, ${k/./ }: ${PROBLEMS[$k]}"; done
}

mkdir -p "$(dirname "$RESULTS")"
report | tee "$RESULTS"
note "table written to $RESULTS; outputs in $WORK/out"

if [ "$failures" -gt 0 ]; then
    note "$failures run(s) failed or disagreed"
    exit 1
fi
