#!/usr/bin/env bash
# Where the command's bytes come from and where they go: an output that is also an input is refused
# (standard input included), outputs that cannot be written fail the command, script sources that
# cannot be read (directories, closed descriptors, endless or binary files) are errors, and record
# data comes through whole (lone CR line ends, untouched JSON arrays, lone surrogates).
source "$(dirname "${BASH_SOURCE[0]}")/harness.sh"
cd "$tmp"

printf 'a,b\n1,2\n' > same.csv
original=$(cat same.csv)

# --- an output that is also an input ----------------------------------------------------------

for target in same.csv /dev/stdin /proc/self/fd/0; do
    expect "standard input as -o $target" 2 "" bash -c "\"$strand\" run --in csv -e 'z := 1' -o $target < same.csv"
    expect_stderr "standard input as -o $target" "is both an input (standard input) and an output"
    expect_file "standard input as -o $target: the input is left alone" same.csv "$original"
done
expect "standard input as --fail" 2 "" \
    bash -c "\"$strand\" run --in csv --filter -e 'a = 1' --fail /dev/stdin -o out.csv < same.csv"
expect_file "standard input as --fail: the input is left alone" same.csv "$original"
expect "standard output appending to an input" 2 "" bash -c "\"$strand\" run -e 'z := 1' same.csv >> same.csv"
expect_stderr "standard output appending to an input" "standard output is both an input (same.csv) and an output"
expect_file "standard output appending: the input is left alone" same.csv "$original"
# A pipe that is read and written would feed the run its own records for ever.
expect "standard input pipe as -o" 2 "" \
    bash -c "printf 'a\n1\n' | timeout 10 \"$strand\" run --in csv -e 'z := 1' -o /dev/stdin"
expect_stderr "standard input pipe as -o" "is both an input (standard input) and an output"
expect "a device may be both" 0 "" bash -c "\"$strand\" run --in csv -e 'z := 1' -o /dev/null < /dev/null"

# --- outputs that cannot be written -----------------------------------------------------------

expect "eval into a full disk" 2 "" bash -c "\"$strand\" eval -e 1 > /dev/full"
expect_stderr "eval into a full disk" "strand: cannot write to standard output: No space left on device"
expect "eval into a closed output" 2 "" bash -c "\"$strand\" eval -e 1 >&-"
expect_stderr "eval into a closed output" "strand: cannot write to standard output: Bad file descriptor"
expect "functions into a full disk" 2 "" bash -c "\"$strand\" functions > /dev/full"
expect "check into a full disk" 2 "" bash -c "\"$strand\" check -e 'x :=' > /dev/full"
expect "run into a full disk" 2 "" bash -c "\"$strand\" run -e 'z := 1' same.csv > /dev/full"
expect_stderr "run into a full disk" "strand: Cannot write to standard output: No space left on device"
expect "run into a closed output" 2 "" bash -c "\"$strand\" run -e 'z := 1' same.csv >&-"
expect "globals into a full standard error" 2 "" \
    bash -c "\"$strand\" run --print-globals -e '@n := 1' same.csv -o /dev/null 2> /dev/full"
expect "globals into a closed standard error" 2 "" \
    bash -c "\"$strand\" run --print-globals -e '@n := 1' same.csv -o /dev/null 2>&-"

# --- script sources that cannot be read ---------------------------------------------------------

expect "a directory as the script" 2 "" "$strand" check "$tmp"
expect_stderr "a directory as the script" "is a directory, not a script"
expect "a directory as run's script" 2 "" "$strand" run "$tmp" same.csv
expect "a directory as an input" 2 "" "$strand" run -e 'z := 1' --in csv "$tmp"
expect_stderr "a directory as an input" "is a directory, not a file of records"
expect "a closed standard input as the script" 2 "" bash -c "\"$strand\" check - <&-"
expect_stderr "a closed standard input as the script" "strand: Cannot read standard input: Bad file descriptor"
expect "an endless script" 2 "" timeout 20 "$strand" check /dev/zero
expect_stderr "an endless script" "strand: /dev/zero is longer than 64 MiB, the most a script may be"
expect "a binary script" 2 "" timeout 20 "$strand" check /dev/urandom
expect_stderr "a binary script" "strand: /dev/urandom is not valid UTF-8"
printf 'x := "\xED\xA0\x80"' > surrogate.ss
expect "an encoded surrogate in a script" 2 "" "$strand" check surrogate.ss
expect_stderr "an encoded surrogate in a script" "strand: surrogate.ss is not valid UTF-8 (near byte 6)"
# With standard input closed, the output cannot take its descriptor and be read back as the input.
expect "run with standard input closed" 1 "" bash -c "\"$strand\" run --in csv -e 'z := 1' <&- > out.csv"
expect_stderr "run with standard input closed" "Cannot read standard input: Bad file descriptor"

# --- deep scripts end with a message --------------------------------------------------------------

python3 -c "print('a := ' * 40000 + '1')" > chain.ss
expect "a long assignment chain" 2 "" "$strand" eval chain.ss
expect_stderr "a long assignment chain" \
    "line 1, The script is nested too deeply: more than 200 levels of statements or parentheses."
python3 -c "print('a := ' * 100000 + '1')" > chain2.ss
expect "a long assignment chain, checked" 1 \
    "line 1, The script is nested too deeply: more than 200 levels of statements or parentheses." \
    "$strand" check chain2.ss

# --- record data comes through whole --------------------------------------------------------------

expect "lone CR line ends" 0 $'a,b,z\n1,2,1\n3,4,1' bash -c "printf 'a,b\r1,2\r3,4\r' | \"$strand\" run --in csv -e 'z := 1' -"
expect "lone CR line ends in TSV" 0 $'a\tz\n1\t1' bash -c "printf 'a\r1\r' | \"$strand\" run --in tsv -e 'z := 1' -"
expect "untouched JSON arrays" 0 \
    '{"n":[9223372036854775807,9223372036854775808],"m":[1,1.50],"q":[1e-400,2],"big":1e400,"z":1}' \
    bash -c "echo '{\"n\":[9223372036854775807,9223372036854775808],\"m\":[1,1.50],\"q\":[1e-400,2],\"big\":1e400}' | \"$strand\" run --in jsonl -e 'z := 1' -"
expect "an element keeps the number stored" 0 '{"x":[9223372036854775808,2]}' \
    bash -c "echo '{\"x\":[9223372036854775807,2]}' | \"$strand\" run --in jsonl -e 'x[1]++' -"
printf 'IF a = 1 THEN z := "\\uD800x"; ELSE z := %s; END IF\n' "'ok'" > surrogate-out.ss
expect "a lone surrogate is not written to CSV" 0 $'a,z\n2,ok' \
    bash -c "printf 'a\n1\n2\n' | \"$strand\" run --in csv --on-error skip surrogate-out.ss -"
expect_stderr "a lone surrogate is not written to CSV" \
    "The text of 'z' holds a lone surrogate (U+D800 at position 1), which csv output cannot carry as UTF-8"
expect "a lone surrogate goes to JSON as its escape" 0 $'{"a":1,"z":"\\ud800x"}\n{"a":2,"z":"ok"}' \
    bash -c "printf 'a\n1\n2\n' | \"$strand\" run --in csv --out jsonl surrogate-out.ss -"
python3 -c "import sys; sys.stdout.write('a' * 70000 + ',b\n1,2\n')" > longname.csv
expect "a header name too long" 1 "" "$strand" run -e 'z := 1' longname.csv
expect_stderr "a header name too long" "Column 1 of the header is longer than 65536 characters, the most a name may be"

# Nesting is read by recursion, so it is bounded: 512 levels of objects and arrays go through as read,
# 513 fail the record, and 100,000 end with the same message instead of overflowing the stack.
for levels in 512 513 100000; do
    python3 -c "n = $levels; print('{\"id\":1,\"a\":' + '[' * n + '1' + ']' * n + '}')" > deep-$levels.jsonl
done
expect "512 levels of JSON" 0 "$(sed 's/}$/,"z":1}/' deep-512.jsonl)" "$strand" run -e 'z := 1' deep-512.jsonl
expect_error "513 levels of JSON" 1 \
    "record 1 (deep-513.jsonl, line 1): The member 'a' is nested more than 512 levels deep, the most a record may be" \
    "$strand" run -e 'z := 1' deep-513.jsonl
expect_error "100,000 levels of JSON" 1 "The member 'a' is nested more than 512 levels deep" \
    "$strand" run -e 'z := 1' deep-100000.jsonl

# Names nest JSON output to the same depth; a name of more levels is written flat, as it stands.
python3 -c "print('x.' * 30000 + 'y,id'); print('1,2')" > dots.csv
expect "a name deeper than JSON may nest is written flat" 0 "{\"$(printf 'x.%.0s' $(seq 30000))y\":1,\"id\":2}" \
    "$strand" run --out jsonl -e 'id := 2' dots.csv
# At the edge: a name of 512 levels nests and reads back; one of 513 is written flat, and reads back
# too (a flat name with dots and its nested form are the same property), where it used to nest one
# level deeper than any record may be read.
for levels in 512 513; do
    python3 -c "print('{\"' + '.'.join(['k'] * $levels) + '\":1}')" > names-$levels.jsonl
    "$strand" run -e 'z := 1' names-$levels.jsonl -o names-$levels-out.jsonl
    expect "a name of $levels levels reads back as it was written" 0 "$(cat names-$levels-out.jsonl)" \
        "$strand" run -e 'z := 1' names-$levels-out.jsonl
done
expect_file "512 levels nest" names-512-out.jsonl "$(python3 -c "print('{\"k\":' * 512 + '1' + '}' * 511 + ',\"z\":1}')")"
expect_file "513 levels are written flat" names-513-out.jsonl "$(python3 -c "print('{\"' + '.'.join(['k'] * 513) + '\":1,\"z\":1}')")"

finish "strand streams"
