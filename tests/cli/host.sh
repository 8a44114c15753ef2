#!/usr/bin/env bash
# The command as the host of the built-ins that talk to their host: --debug and the debug functions,
# sendmessagetoclient, the stopping functions and the exit status, files, --calculators and --protocols.
source "$(dirname "${BASH_SOURCE[0]}")/harness.sh"
fixtures="$(cd "$(dirname "${BASH_SOURCE[0]}")/../fixtures" && pwd)"
printf 'a,b\n1,2\n3,4\n5,6\n' > "$tmp/in.csv"

# Debugging: nothing without --debug; with it one line per call on standard error, the break with the
# record as JSON (no terminal here, so it goes on at once).
expect "debug off" 0 $'a,b\n1,2\n3,4\n5,6' \
    "$strand" run -e "debugMessage('a is %d', a); debugBreak('b')" "$tmp/in.csv"
[ -s "$tmp/err" ] && { echo "FAIL debug off: standard error not empty"; cat "$tmp/err"; failures=$((failures + 1)); }
expect "debug on" 0 $'a,b\n1,2\n3,4\n5,6' \
    "$strand" run --quiet --debug -e "debugMessage('a is %d', a); debugMessageError('e%s', b); debugBreak('b %s', b)" \
    "$tmp/in.csv" < /dev/null
cp "$tmp/err" "$tmp/seen"
expect "debug lines" 0 \
    $'debug: record 1: a is 1\nerror: record 1: e2\nbreak: record 1: b 2\n{"a":1,"b":2}\ndebug: record 2: a is 3\nerror: record 2: e4\nbreak: record 2: b 4\n{"a":3,"b":4}\ndebug: record 3: a is 5\nerror: record 3: e6\nbreak: record 3: b 6\n{"a":5,"b":6}' \
    cat "$tmp/seen"
expect "debug result" 0 "x 5" "$strand" eval --debug -e "debugMessage('x %d', 5)"
expect_stderr "debug result line" "debug: record 1: x 5"
expect "debug off result" 0 "" "$strand" eval -e "debugMessage('x %d', 5)"
# A directive never writes more than 8192 characters, and '*' takes no width from the arguments.
expect "debug width cut" 0 "8193" sh -c "'$strand' eval --debug -e \"debugMessage('%99999999d', 7)\" 2>/dev/null | wc -c"
expect "debug star dropped" 0 "5|   ab|2.35|%|7   |" \
    "$strand" eval --debug -e "debugMessage('%*d|%5s|%.2f|%%|%-4d|', 5, 'ab', 2.345, 7)"

# Client messages always go to standard error.
expect "client message" 0 $'a,b\n1,2\n3,4\n5,6' "$strand" run --quiet -e "sendmessagetoclient('seen ' . a)" "$tmp/in.csv"
cp "$tmp/err" "$tmp/seen"
expect "client lines" 0 $'message: seen 1\nmessage: seen 3\nmessage: seen 5' cat "$tmp/seen"

# Stopping: the record that stops is not written, the final script still runs, the status tells.
for f in terminate halt terminatepipeline; do
    expect "$f" 0 $'a,b\n1,2' "$strand" run -e "IF a = 3 THEN $f(); END IF" \
        --final "sendmessagetoclient('final ran')" "$tmp/in.csv"
    expect_stderr "$f note" "strand: record 2: $f() stopped the run; the record was not written"
    expect_stderr "$f final" "message: final ran"
done
expect "haltprotocol" 3 $'a,b\n1,2' "$strand" run -e "IF a = 3 THEN haltprotocol(); END IF" "$tmp/in.csv"
expect_stderr "haltprotocol note" "strand: record 2: haltprotocol() stopped the run; the record was not written"
expect "blockpipeline drops the record" 0 $'a,b\n1,2\n5,6' "$strand" run -e "IF a = 3 THEN blockpipeline(); END IF" "$tmp/in.csv"
expect "stop in init" 0 "" "$strand" run --init "terminate()" -e "x := 1" "$tmp/in.csv"
expect_stderr "stop in init note" "strand: the init script: terminate() stopped the run"
expect "eval terminate" 0 "" "$strand" eval --as none --print-record -e "terminate()"
expect_stderr "eval terminate note" "strand: record 1: terminate() stopped the run; the record was not written"
expect "eval haltprotocol" 3 "" "$strand" eval --as none -e "haltprotocol()"
expect "eval blockpipeline" 0 "" "$strand" eval --as none --print-record -e "blockpipeline()"

# Files: paths from the current directory, "~" as written.
mkdir -p "$tmp/dir"
printf 'hello' > "$tmp/dir/five.txt"
touch -d '2040-01-01 12:00:00' "$tmp/dir/five.txt"
expect "file size" 0 "5" sh -c "cd '$tmp' && '$strand' eval -e \"filesize('dir/five.txt')\""
expect "file exists" 0 "truefalse" sh -c "cd '$tmp/dir' && '$strand' eval -e \"fileexists('five.txt') . fileexists('six.txt')\""
expect "missing file size" 0 "-1" "$strand" eval -e "filesize('$tmp/no/such/file')"
expect "after 2038" 0 "2040" "$strand" eval -e "dateyear(filelastmodified('$tmp/dir/five.txt'))"
expect "file owner" 0 "$(id -un)" "$strand" eval -e "fileowner('$tmp/dir/five.txt')"
expect "no tilde expansion" 0 "false" sh -c "cd '$tmp' && HOME='$tmp/dir' '$strand' eval -e \"fileexists('~/five.txt')\""

# GUIDs in registry form: 38 characters, braces around 8-4-4-4-12 upper-case hexadecimal digits.
guid=$("$strand" eval -e 'createGUID()')
if ! [[ "$guid" =~ ^\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\}$ ]] || [ ${#guid} -ne 38 ]; then
    echo "FAIL createGUID: $guid"
    failures=$((failures + 1))
fi

# Calculators: DIR/P.ss calculates P for the record; names ignore the case of A to Z.
calc="$fixtures/calculators"
expect "read calculates" 0 "7" "$strand" eval --calculators "$calc" --record '{"width": 2, "height": 3}' -e 'area + 1'
expect "calculate" 0 $'6\n{"width":2,"height":3,"area":6}\n{}' \
    "$strand" eval --calculators "$calc" --record '{"width": 2, "height": 3}' -e "calculate('AREA'); area" --print-record
expect "calculate per record" 0 $'w,h,area\n2,3,6\n4,5,20' \
    sh -c "printf 'w,h\n2,3\n4,5\n' | '$strand' run --in csv --calculators '$calc' -e 'width := w; height := h; calculate(\"area\"); remove(\"width\", \"height\")'"
expect "failing calculator" 0 "false" "$strand" eval --calculators "$calc" -e "calculate('broken'); broken IS DEFINED"
expect "calculator needing itself" 0 "false" "$strand" eval --calculators "$calc" -e "calculate('cycle'); cycle IS DEFINED"
expect_error "no calculator" 1 "line 1, The calculate function was unable to find a calculator for the property 'nosuch'" \
    "$strand" eval --calculators "$calc" --as none -e "calculate('nosuch')"
expect "cancalculate" 0 "truefalse" "$strand" eval --calculators "$calc" -e "cancalculate('Area') . cancalculate('nosuch')"
# One call site asks for each name it meets.
expect "cancalculate per name" 0 "truefalsetrue" "$strand" eval --calculators "$calc" \
    -e "#r := ''; FOR i IN 1 .. 3 LOOP IF i = 2 THEN #n := 'nosuch'; ELSE #n := 'area'; END IF; #r := #r . cancalculate(#n); END LOOP; #r"
expect "cancalculatenames" 0 "area;cycle" \
    "$strand" eval --calculators "$calc" --record '{"area": 1, "x": 2, "cycle": 3}' -e "cancalculatenames(rpropertynames('.'))"
expect_error "no database" 1 "Unable to access Component DataBase" "$strand" eval --as none -e "calculate('area')"
expect_error "no database for cancalculate" 1 "Unable to access the Component DataBase" "$strand" eval -e "cancalculate('area')"

# Protocols: DIR/NAME.ss runs with the inputs as its globals; its outputs are the globals it leaves.
prot="$fixtures/protocols"
expect "inputs with = and blanks" 0 "hello Ann=B!" \
    "$strand" eval --protocols "$prot" -e "runprotocol('Greet', 'name = Ann=B', '  punctuation=! ')"
expect "one output by name" 0 "2" "$strand" eval --protocols "$prot" -e "runprotocol('greet', 'name=x', 'punctuation=', 'count')"
expect "several outputs, one missing" 0 "1;;9" "$strand" eval --protocols "$prot" -e "runprotocol('Range', 'low', 'middle', 'high')"
expect "outputs as values" 0 "3" "$strand" eval --protocols "$prot" -e "runprotocol('Sum', 'a=1', 'b = 2')"
expect_error "failing protocol" 1 \
    $'Error running protocol \'Broken\':  line 2:9: expecting a right paren \')\', found \';\'\nline 2:9: expecting a right paren \')\', found \';\'\nline 3:9: unexpected token: )\nxrRunProtocolFunction::Evaluate: Strandline exception caught' \
    "$strand" eval --protocols "$prot" -e "runprotocol('Broken')"
expect_error "no runner" 1 "Unable to run protocol 'Greet'.  No runner defined." "$strand" eval -e "runprotocol('Greet')"
expect_error "no such protocol" 1 "Error running protocol 'Nosuch':  There is no protocol 'Nosuch' in $prot" \
    "$strand" eval --protocols "$prot" -e "runprotocol('Nosuch')"
expect_error "protocol runs itself" 1 "The protocol 'Self' is already running: a protocol cannot run itself" \
    "$strand" eval --protocols "$prot" -e "runprotocol('Self')"
expect_error "protocol stops" 1 "The protocol 'Stops' stopped: haltprotocol()" \
    "$strand" eval --protocols "$prot" -e "runprotocol('Stops')"
expect_error "protocol result as a number" 1 "Unable to return double result from protocol" \
    "$strand" eval --protocols "$prot" -e "runprotocol('Sum', 'a=1', 'b=2') + 1"

finish "strand as host"
