#!/usr/bin/env bash
# strand run on the data people have: pipes that stream, other separators, header-less files, gzip,
# JSON arrays and nested objects, line ends and byte-order marks kept, tables for reading, number
# formats, globals out, strict numbers, script messages with hints, and the command's own errors.
source "$(dirname "${BASH_SOURCE[0]}")/harness.sh"
cd "$tmp"

printf 'a,b\n1,2\n3,4\n' > ab.csv

# --- pipes stream ----------------------------------------------------------------------------------

# An endless producer: the rows reach `head` long before any end of input.
expect "rows reach a pipe as they come" 0 $'a,b,c\n1,2,3' \
    bash -c "(echo a,b; while true; do echo 1,2; sleep 0.1; done) | timeout 10 \"$strand\" run --in csv -e 'c := a + b' - | head -2"
expect "a pipe that closes ends the run quietly" 0 $'a,b,c\n1,2,3\n1,2,3' \
    bash -c "(echo a,b; yes 1,2) | timeout 20 \"$strand\" run --in csv -e 'c := a + b' - | head -3; exit \${PIPESTATUS[1]}"
expect "-o - is standard output" 0 $'a,b\n1,2\n3,4' "$strand" run -e '@n := 1' ab.csv -o -
# --head stops reading: an endless input still ends, with the first records.
expect "--head stops reading" 0 $'a,b,c\n1,2,1\n1,2,1' \
    bash -c "(echo a,b; yes 1,2) | timeout 20 \"$strand\" run --in csv --head 2 -e 'c := 1' -"

# --- separators and headers -----------------------------------------------------------------------

expect "semicolon CSV keeps its separator" 0 $'a;b;c\n1;2;3' \
    bash -c "printf 'a;b\n1;2\n' | \"$strand\" run --in csv --ifs ';' -e 'c := a + b' -"
expect "--ofs" 0 $'a|b|c\n1|2|3' bash -c "printf 'a;b\n1;2\n' | \"$strand\" run --in csv --ifs ';' --ofs '|' -e 'c := a + b' -"
expect "a separator inside a text is quoted" 0 $'a;b\n"x;y";2' \
    bash -c "printf 'a;b\n1;2\n' | \"$strand\" run --in csv --ifs ';' -e \"a := 'x;y'\" -"
expect "--ifs tab" 0 $'a\tb\n1\t2' bash -c "printf 'a\tb\n1\t2\n' | \"$strand\" run --in csv --ifs tab -e '@n := 1' -"
expect_error "--ifs two characters" 2 "--ifs takes one ASCII character" "$strand" run --ifs ';;' -e '@n := 1' ab.csv
expect "header-less input" 0 $'1,2,3\n1,2,3\n4,5,9' \
    bash -c "printf '1,2\n4,5\n' | \"$strand\" run --in csv --implicit-header -e \"%'3' := %'1' + %'2'\" -"
expect "header-less output" 0 $'1,2\n3,4' "$strand" run --headerless-output -e '@n := 1' ab.csv

# --- gzip -----------------------------------------------------------------------------------------

gzip -c ab.csv > ab.csv.gz
expect "gzip input by its name" 0 $'a,b,c\n1,2,3\n3,4,7' "$strand" run -e 'c := a + b' ab.csv.gz
expect "gzip output by its name" 0 "" "$strand" run -e 'c := a + b' ab.csv.gz -o out.csv.gz
expect "gzip output reads back" 0 $'a,b,c\n1,2,3\n3,4,7' gzip -dc out.csv.gz
expect "--gzin and --gzout on pipes" 0 $'a,b,c\n1,2,3\n3,4,7' \
    bash -c "gzip -c ab.csv | \"$strand\" run --in csv --gzin --gzout -e 'c := a + b' - | gzip -dc"
printf 'not gzip at all' | gzip -c | head -c 10 > cut.csv.gz
expect "cut gzip data" 1 "" "$strand" run -e 'c := 1' cut.csv.gz
expect_stderr "cut gzip data" "Cannot read cut.csv.gz"

# --- JSON -----------------------------------------------------------------------------------------

printf '[{"a":1},\n {"a":2,"b":{"c":[1,2]}}\n]\n' > array.json
expect "a JSON array of objects" 0 $'{"a":1,"z":2}\n{"a":2,"b":{"c":[1,2]},"z":3}' "$strand" run -e 'z := a + 1' array.json
expect "nested objects round trip" 0 '{"b":{"c":2},"d":4}' \
    bash -c "echo '{\"b\":{\"c\":2}}' | \"$strand\" run --in json -e \"d := %'b.c' * 2\" -"
expect "nested objects to CSV" 0 $'b.c,a.1.x,a.2.x\n2,1,2' \
    bash -c "echo '{\"b\":{\"c\":2},\"a\":[{\"x\":1},{\"x\":2}]}' | \"$strand\" run --in json --out csv -e '@n := 1' -"
expect "dotted CSV columns nest in JSON" 0 '{"p":{"x":1,"y":2}}' \
    bash -c "printf 'p.x,p.y\n1,2\n' | \"$strand\" run --in csv --out json -e '@n := 1' -"
expect_error "--no-flatten refuses objects" 1 "The member 'b' holds an object" \
    bash -c "echo '{\"b\":{\"c\":2}}' | \"$strand\" run --in json --no-flatten -e '@n := 1' -"
expect_error "members that name one property" 1 "The members 'a' and 'A' name one property" \
    bash -c "echo '{\"a\":1,\"A\":2}' | \"$strand\" run --in json -e '@n := 1' -"
expect "ndjson is JSON Lines" 0 '{"a":1,"z":1}' bash -c "echo '{\"a\":1}' | \"$strand\" run --in ndjson -e 'z := 1' -"

# --- line ends and the byte-order mark ---------------------------------------------------------------

expect "CRLF comes back" 0 "$(printf 'a,b,c\r\n1,2,1\r\n3,4,1\r\n' | od -c)" \
    bash -c "printf 'a,b\r\n1,2\r\n3,4\r\n' | \"$strand\" run --in csv -e 'c := 1' - | od -c"
expect "--ors lf" 0 "$(printf 'a,b,c\n1,2,1\n' | od -c)" \
    bash -c "printf 'a,b\r\n1,2\r\n' | \"$strand\" run --in csv --ors lf -e 'c := 1' - | od -c"
expect "the byte-order mark comes back" 0 "$(printf '\xef\xbb\xbfa,b,c\n1,2,1\n' | od -c)" \
    bash -c "printf '\xef\xbb\xbfa,b\n1,2\n' | \"$strand\" run --in csv -e 'c := 1' - | od -c"
printf 'a,b\r\n1,2\r\n3,4\r\n' > crlf.csv
expect "CRLF into a file that is rewritten" 0 "" "$strand" run -e "IF a = 3 THEN c := 1; END IF" crlf.csv -o crlf-out.csv
expect "CRLF into a file that is rewritten: bytes" 0 "$(printf 'a,b,c\r\n1,2,\r\n3,4,1\r\n' | od -c)" od -c crlf-out.csv

# --- tables, numbers, globals ------------------------------------------------------------------------

expect "pprint" 0 $'a b c\n1 2 long text\n3 4 -' \
    "$strand" run --out pprint -e "IF a = 1 THEN c := 'long text'; ELSE c := ''; END IF" ab.csv
expect "markdown" 0 $'| a | b | c |\n| --- | --- | --- |\n| 1 | 2 | x\\|y |\n| 3 | 4 | x\\|y |' \
    "$strand" run --out markdown -e "c := 'x|y'" ab.csv
expect "--ofmt formats computed numbers only" 0 $'a,b,c\n1,2,0.33\n3,4,1.00' "$strand" run --ofmt %.2f -e 'c := a / 3' ab.csv
expect_error "--ofmt takes one number directive" 2 "--ofmt takes one number directive" \
    "$strand" run --ofmt '%d %s' -e 'c := 1' ab.csv
expect "--globals-out -" 0 $'a,b\n1,2\n3,4\n{"sum":4}' "$strand" run --init '@sum := 0' --globals-out - -e '@sum := @sum + a' ab.csv
expect "--globals-out FILE" 0 "" "$strand" run --init '@sum := 0' --globals-out g.json -e '@sum := @sum + a' ab.csv -o /dev/null
expect_file "--globals-out FILE" g.json '{"sum":4}'

# --- strict numbers ------------------------------------------------------------------------------------

printf 'price\n"1,234.00"\n" 5 "\n12\n' > prices.csv
expect "without --strict a text reads as its start" 0 $'price,t\n"1,234.00",2\n" 5 ",10\n12,24' \
    "$strand" run --on-error skip -e 't := price * 2' prices.csv
expect "--strict refuses a text that is not a number" 0 $'price,t\n" 5 ",10\n12,24' \
    "$strand" run --strict --on-error skip -e 't := price * 2' prices.csv
expect_stderr "--strict names the property, the record and the text" \
    "strand: record 1 (prices.csv, line 2): The property 'price' is read as a number but '1,234.00' is not a number"
printf 'price,q\n,1\n' > empty.csv
expect "--strict refuses an empty value" 1 "price,q" "$strand" run --strict -e 't := price * 2' empty.csv
expect_stderr "--strict refuses an empty value" "The property 'price' is read as a number but holds no value"

# --- script messages and hints -------------------------------------------------------------------------

printf 'x := 1;\nIF x = 1 && x > 0 THEN y := 2; END IF\n' > restock.ss
expect_error "a script that does not parse" 2 $'restock.ss: line 2:10: unexpected char: &\nrestock.ss: line 2, Found \'&&\', perhaps you meant \'AND\'?' \
    "$strand" run restock.ss ab.csv
expect_error "elif" 2 "Found identifier 'ELIF', perhaps you meant 'ELSIF'?" \
    "$strand" run -e 'IF a THEN x := 1; elif b THEN x := 2; END IF' ab.csv
expect_error "a keyword as a name" 2 "'case' is a keyword: write %case for a property of that name." \
    "$strand" run -e 'case := 1' ab.csv
expect_error "== for :=" 2 "Found '==' in a statement that does nothing, perhaps you meant ':='?" \
    "$strand" run -e 'x == 1; y := 2' ab.csv
expect_error "eval names the script too" 2 "restock.ss: line 2:10: unexpected char: &" "$strand" eval restock.ss
expect "an undefined global gets a hint" 1 "a,b" "$strand" run -e '@sum := @sum + a' ab.csv
expect_stderr "an undefined global gets a hint" "strand: hint: give @sum a start value with --init '@sum := 0'"

# --- the command's own errors ---------------------------------------------------------------------------

expect_error "an unknown command" 2 "strand: unknown command 'runn'; did you mean 'run'?" "$strand" runn
expect "--version" 0 "strand 0.1.0" "$strand" --version
expect_error "a missing script file" 2 "strand: Cannot open nosuch.ss: No such file or directory" "$strand" run nosuch.ss ab.csv
expect_error "an unknown option" 2 "strand: The following argument was not expected: --bogus" "$strand" run --bogus
expect "the exit statuses in --help" 0 "Exit status: 0 done; 1 a record or the script failed; 2 the command line or an input or output" \
    bash -c "\"$strand\" --help | grep '^Exit status'"
expect "--columns never set" 0 $'a,zz\n1,\n3,' "$strand" run --columns a,zz -e '@n := 1' ab.csv
expect_stderr "--columns never set" "strand: --columns: no record had 'zz'"

finish "strand formats"
