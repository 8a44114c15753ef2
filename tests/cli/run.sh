#!/usr/bin/env bash
# strand run: records through a script in each format, untouched fields written back as read, type
# inference, the union header, init and final scripts, filters, both error modes, and the functions
# table. Each case compares standard output (and, where it matters, standard error or a file).
source "$(dirname "${BASH_SOURCE[0]}")/harness.sh"
cd "$tmp"

# --- fixtures ----------------------------------------------------------------------------------

# Fields that must come back exactly as read: codes with leading zeros, non-canonical numbers, quoted
# text with quotes, commas and a line break, an empty field and a quoted empty field, edge spaces.
cat > mixed.csv <<'EOF'
code,price,qty,note,empty
007,1.50,+3,"said ""hi""",
12,1e3,-0,"two
lines",""
 5,0x10,9007199254740993,"a,b", 
EOF

printf 'a\tb\n1\tx\\ty\n\\N\t\n' > tabs.tsv
printf '{"id":1,"tags":["x","y"],"n":null,"ok":true,"v":1.50}\n{"id":2,"w":"é"}\n' > items.jsonl
printf 'a,b\n1,2\n3,4\n5,x\n7,8\n' > small.csv

# --- round trips and inference -----------------------------------------------------------------

csv_back=$(cat mixed.csv)
expect "csv untouched fields come back as read" 0 "$csv_back" "$strand" run -e '@n := 1' mixed.csv

expect "csv inference: integers and doubles, codes stay text" 0 \
'code,price,qty,note,empty,t
007,1.50,+3,"said ""hi""",,007|1.5|3|
12,1e3,-0,"two
lines","",12|1000|0|
 5,0x10,9007199254740993,"a,b", ," 5|0x10|9007199254740993| "' \
    "$strand" run -e "t := code + '|' + price + '|' + qty + '|' + empty" mixed.csv

expect "--no-infer keeps the text" 0 \
'code,price,qty,note,empty,t
007,1.50,+3,"said ""hi""",,007|1.50|+3
12,1e3,-0,"two
lines","",12|1e3|-0
 5,0x10,9007199254740993,"a,b", ," 5|0x10|9007199254740993"' \
    "$strand" run --no-infer -e "t := code + '|' + price + '|' + qty" mixed.csv

expect "empty field has no value, quoted empty is text" 0 \
'code,price,qty,note,empty,d
007,1.50,+3,"said ""hi""",,false
12,1e3,-0,"two
lines","",true
 5,0x10,9007199254740993,"a,b", ,true' \
    "$strand" run -e 'd := empty IS DEFINED' mixed.csv

expect "texts that would read as numbers are quoted" 0 \
'a,b,t,u,v
1,2,"12",12,""
3,4,"12",12,""
5,x,"12",12,""
7,8,"12",12,""' \
    "$strand" run -e "t := '12'; u := 12; v := ''" small.csv

# The quoted output reads back as the same text.
"$strand" run -e "t := '12'" small.csv > quoted.csv
expect "quoted numbers read back as text" 0 \
$'{"a":1,"b":2,"t":"12"}\n{"a":3,"b":4,"t":"12"}\n{"a":5,"b":"x","t":"12"}\n{"a":7,"b":8,"t":"12"}' \
    "$strand" run --out jsonl -e "@n := 1" quoted.csv
# Arithmetic is in doubles: 2^53 + 1 does not survive it.
expect "changed fields are written canonically" 0 \
'code,price,qty,note,empty
8,1.5,4,"said ""hi""",
13,1000,1,"two
lines",""
6,0,9007199254740992,"a,b", ' \
    "$strand" run -e 'code := code + 1; price := price * 1; qty := qty + 1' mixed.csv

expect "tsv escapes in and out" 0 $'a\tb\tc\n1\tx\\ty\tx\\ty!\n\\N\t\t!' \
    "$strand" run -e "c := b + '!'" tabs.tsv
expect "tsv to json lines" 0 $'{"a":1,"b":"x\\ty","c":"x\\ty!"}\n{"a":"\\\\N","b":null,"c":"!"}' \
    "$strand" run --out jsonl -e "c := b + '!'" tabs.tsv

expect "json lines untouched" 0 \
$'{"id":1,"tags":["x","y"],"n":null,"ok":true,"v":1.50,"k":2}\n{"id":2,"w":"é","k":4}' \
    "$strand" run -e 'k := id * 2' items.jsonl
# Member names are remembered from one line to the next: names that change places, prefixes of
# each other, and an escaped spelling of a name met before.
expect "json member names from line to line" 0 \
$'{"ab":1,"a":2,"c":1}\n{"a":3,"ab":4,"c":4}\n{"ab":5,"c":5}\n{"ab":6,"c":6}' \
    bash -c "printf '{\"ab\":1,\"a\":2}\n{\"a\":3,\"ab\":4}\n{\"a\\\\u0062\":5}\n{\"ab\":6}\n' | \"$strand\" run --in jsonl -e 'c := ab'"
expect "json lines to csv: union header, arrays joined by ;" 0 \
$'id,tags,n,ok,v,w\n1,x;y,,true,1.50,\n2,,,,,é' \
    "$strand" run --union --out csv -e '@n := 1' items.jsonl
expect "format from -o's extension" 0 "" "$strand" run -e '@n := 1' items.jsonl -o out.tsv
expect_file "tsv output file" out.tsv $'id\ttags\tn\tok\tv\tw\n1\tx;y\t\ttrue\t1.50\t\n2\t\t\t\t\té'
expect "--in for standard input" 0 $'a,b,c\n1,2,3\n3,4,7\n5,x,5\n7,8,15' \
    bash -c "\"$strand\" run --in csv -e 'c := a + b' < small.csv"

# --- columns -----------------------------------------------------------------------------------

# To a pipe the rows stream under the header known so far; a new column starts a new block.
expect "properties added by some records start a new block" 0 \
$'a,b\n1,2\n3,4\n\na,b,late\n5,x,yes\n\na,b,late,c\n7,8,,8' \
    "$strand" run -e "IF a = 5 THEN late := 'yes'; ELSIF a = 7 THEN c := b; END IF" small.csv
expect "--union: one header for every column" 0 \
$'a,b,late,c\n1,2,,\n3,4,,\n5,x,yes,\n7,8,,8' \
    "$strand" run --union -e "IF a = 5 THEN late := 'yes'; ELSIF a = 7 THEN c := b; END IF" small.csv
# Records held past the limit go to a temporary file; the output is the same.
expect "union header past the hold limit" 0 \
$'a,b,late,c\n1,2,,\n3,4,,\n5,x,yes,\n7,8,,8' \
    env STRAND_RUN_HOLD_BYTES=1 "$strand" run --union -e "IF a = 5 THEN late := 'yes'; ELSIF a = 7 THEN c := b; END IF" small.csv
# Into a file the rows go out under the first record's header until a record brings a new column;
# then the rows written come back and wait for the final header. Through -o, through a redirection,
# and past the hold limit; appending to a file holds the rows from the start.
printf 'a,b\n1,2\n3,4\n5,"x\ny"\n7,8\n' > nl.csv
grow="IF a = 5 THEN late := 'yes'; ELSIF a = 7 THEN c := b; END IF"
grown=$'a,b,late,c\n1,2,,\n3,4,,\n5,"x\ny",yes,\n7,8,,8'
expect "new column after rows went to -o" 0 "" "$strand" run -e "$grow" nl.csv -o grown.csv
expect_file "new column after rows went to -o" grown.csv "$grown"
expect "new column after rows went to a redirection" 0 "" \
    bash -c "STRAND_RUN_HOLD_BYTES=1 \"$strand\" run -e \"$grow\" nl.csv > grown2.csv"
expect_file "new column after rows went to a redirection" grown2.csv "$grown"
expect "appending to a file" 0 "" bash -c "echo first > grown3.csv; \"$strand\" run -e \"$grow\" nl.csv >> grown3.csv"
expect_file "appending to a file" grown3.csv "first"$'\n'"$grown"
expect "no new column: rows streamed" 0 "" "$strand" run -e 'c := a' nl.csv -o same.csv
expect_file "no new column: rows streamed" same.csv $'a,b,c\n1,2,1\n3,4,3\n5,"x\ny",5\n7,8,7'
expect "an empty first record pads to one column less" 0 $'a,b\n,\n1,2' \
    bash -c "printf '{}\n{\"a\":1,\"b\":2}\n' | \"$strand\" run --union --in jsonl --out csv -e '@n := 1'"
expect "--fail file grows too" 0 "" "$strand" run --filter --fail failgrow.csv -e "IF a = 3 THEN x := 1; END IF; a > 5" nl.csv -o pass.csv
expect_file "--fail file grows too" failgrow.csv $'a,b,x\n1,2,\n3,4,1\n5,"x\ny",'

expect "--columns streams in the given order" 0 $'c,a\n,1\n,3\n,5\n8,7' \
    "$strand" run --columns c,a -e "IF a = 7 THEN c := b; END IF" small.csv
expect "inputs with different headers" 0 $'a,b,z\n1,2,\n3,4,\n5,x,\n7,8,\n,,9' \
    bash -c "printf 'z\n9\n' > z.csv; \"$strand\" run --union -e '@n := 1' small.csv z.csv"
expect "no record passes: the header is still written" 0 "a,b" \
    "$strand" run --filter -e 'a > 100' small.csv

# --- init, final, globals ----------------------------------------------------------------------

expect "init and final see the globals" 0 $'a,b,run\n1,2,1\n3,4,4\n5,x,9\n7,8,16' \
    "$strand" run --init '@sum := 0' --final '@mean := @sum / 4' --print-globals \
    -e '@sum := @sum + a; run := @sum' small.csv
expect_file "--print-globals" "$tmp/err" '{"sum":16,"mean":4}'
expect "--globals seeds the globals" 0 $'a,b,g\n1,2,101\n3,4,103\n5,x,105\n7,8,107' \
    "$strand" run --globals '{"base": 100}' -e 'g := @base + a' small.csv
echo '@count := 0' > init.ss
expect "--init-file" 0 $'a,b\n1,2\n3,4\n5,x\n7,8' \
    "$strand" run --init-file init.ss --print-globals -e '@count := @count + 1' small.csv
expect_file "count of records" "$tmp/err" '{"count":4}'
expect "init script with a record variable" 1 "" "$strand" run --init 'x := 1' -e '@n := 1' small.csv
expect_stderr "init script with a record variable" \
    "strand: the init script failed: Could not get property list for local variable 'x'."
expect "final script with a record variable" 1 $'a,b\n1,2\n3,4\n5,x\n7,8' \
    "$strand" run --final 'x := a' -e '@n := 1' small.csv
expect_stderr "final script with a record variable" "the final script failed"

# --- filters -----------------------------------------------------------------------------------

expect "filter passes the true records" 0 $'a,b\n5,x\n7,8' "$strand" run --filter -e 'a > 4' small.csv
expect "filter with --fail" 0 $'a,b\n3,4\n5,x\n7,8' "$strand" run --filter --fail rest.csv -e 'a > 2' small.csv
expect_file "--fail file" rest.csv $'a,b\n1,2'
expect "filter may set properties before its condition" 0 $'a,b,big\n5,x,true\n7,8,true' \
    "$strand" run --filter -e 'big := a > 4; big' small.csv

# Columns a script does not name are given back as read; they still become values when an output
# has another format, and are still checked for UTF-8.
expect "unnamed columns, --fail in another format" 0 $'a,b\n5,x\n7,8' \
    "$strand" run --filter --fail rest.jsonl -e 'a > 4' small.csv
expect_file "--fail file as JSON Lines" rest.jsonl $'{"a":1,"b":2}\n{"a":3,"b":4}'
printf 'a,b\n1,\xff\n' > bad.csv
expect "invalid UTF-8 in a named column" 1 "a,b" "$strand" run -e 'c := b' bad.csv
expect_stderr "invalid UTF-8 in a named column" "record 1 (bad.csv, line 2): Field 2 ('b') is not valid UTF-8"
expect "invalid UTF-8 in a column the script does not name" 1 "a,b" "$strand" run -e 'c := a' bad.csv
expect_stderr "invalid UTF-8 in a column the script does not name" "Field 2 ('b') is not valid UTF-8"

# --- checks and usage errors -------------------------------------------------------------------

expect "a manipulator statement must do something" 2 "" "$strand" run -e 'a = 1' small.csv
expect_stderr "a manipulator statement must do something" "Statement doesn't appear to do anything."
expect "syntax error before any record" 2 "" "$strand" run -e 'a := (1' small.csv
expect "--init check" 2 "" "$strand" run --init '1 +' -e '@n := 1' small.csv
expect_stderr "--init check" "--init: "
expect "--fail needs --filter" 2 "" "$strand" run --fail x.csv -e '@n := 1' small.csv
expect "unknown format" 2 "" bash -c "\"$strand\" run -e '@n := 1' < small.csv"
expect_stderr "unknown format" "give --in csv, tsv or json"
expect "missing input" 2 "" "$strand" run -e '@n := 1' nosuch.csv
cp small.csv keep.csv
expect "an input as the output" 2 "" "$strand" run -e '@n := 1' keep.csv -o ./keep.csv
expect_stderr "an input as the output" "./keep.csv is both an input (keep.csv) and an output: write to another file"
expect_file "the input is left alone" keep.csv "$(cat small.csv)"
expect "-o and --fail the same" 2 "" "$strand" run --filter -e 'a > 1' small.csv -o same1.csv --fail same1.csv
expect_stderr "-o and --fail the same" "-o and --fail name the same file"


# --- errors while running ----------------------------------------------------------------------

fails_on_5='IF a = 5 THEN c := #q[1]; ELSE c := a; END IF'
expect "first failing record stops the run" 1 $'a,b,c\n1,2,1\n3,4,3' "$strand" run -e "$fails_on_5" small.csv
expect_stderr "the error names the record" "strand: record 3 (small.csv, line 4): line 1, The vector 'q'"
expect "skip mode goes on" 0 $'a,b,c\n1,2,1\n3,4,3\n7,8,7' "$strand" run --on-error skip -e "$fails_on_5" small.csv
expect_stderr "skip mode prints the record" $'5,x'
expect_stderr "skip mode summary" "strand: 4 records read, 3 written, 1 failed and skipped"
expect "bad input record stops the run" 1 $'a,b\n1,2' \
    bash -c "printf 'a,b\n1,2\n3\n' | \"$strand\" run --in csv -e '@n := 1'"
expect_stderr "bad input record" "The record has 1 fields where the header has 2"
expect "unterminated quote" 1 "a" \
    bash -c "printf 'a\n\"open\n' | \"$strand\" run --in csv -e '@n := 1'"
expect_stderr "unterminated quote" "A quoted field never ends"
expect "duplicate column" 1 "" bash -c "printf 'a,A\n1,2\n' | \"$strand\" run --in csv -e '@n := 1'"
expect_stderr "duplicate column" "The header names the column 'A' twice (columns 1 and 2)"
expect "invalid json line" 1 '{"a":1}' \
    bash -c "printf '{\"a\":1}\n{\"a\":\n' | \"$strand\" run --in jsonl -e '@n := 1'"
expect_stderr "invalid json line" "record 2"

# --- functions ---------------------------------------------------------------------------------

lines=$("$strand" functions | wc -l)
[ "$lines" = 249 ] || { echo "FAIL functions: $lines lines"; failures=$((failures + 1)); }
expect "functions first line" 0 "getdate                    0 to 1       date" \
    bash -c "\"$strand\" functions | head -n 1"
expect "functions declared only" 0 "setmolinfo                 2            molecule   not implemented yet" \
    bash -c "\"$strand\" functions | grep '^setmolinfo'"
if command -v python3 >/dev/null 2>&1; then
    expect "functions --json" 0 "249 getdate 0 1" bash -c "\"$strand\" functions --json | python3 -c '
import json, sys
t = json.load(sys.stdin)
print(len(t), t[0][\"name\"], t[0][\"min\"], t[0][\"max\"])'"
fi

finish "strand run"
