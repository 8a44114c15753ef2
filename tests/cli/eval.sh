#!/usr/bin/env bash
# strand eval: the result on standard output, then with --print-record the record and the globals as
# JSON; exit 1 when the script fails while it runs, 2 when it does not parse or the command line or its
# JSON cannot be used.
source "$(dirname "${BASH_SOURCE[0]}")/harness.sh"

# Results, asked for in each form.
expect "arithmetic" 0 "7" "$strand" eval -e '1 + 2 * 3'
expect "text and number" 0 "a1" "$strand" eval -e "'a' + 1"
expect "as bool" 0 "true" "$strand" eval --as bool -e '1 < 2'
expect "as number" 0 "0.5" "$strand" eval --as number -e '1 / 2'
expect "as number, infinite" 0 "-Infinity" "$strand" eval --as number -e '-1 / 0'
expect "as string" 0 "0.3333333333333333" "$strand" eval --as string -e '1 / 3'
expect "as none" 0 "" "$strand" eval --as none -e 'x := 1'
expect "non-ASCII text" 0 "été€" "$strand" eval -e "'été' + '€'"

# The record and the globals.
expect "record and print" 0 $'10\n{"price":2.5,"qty":4,"total":10}\n{}' \
    "$strand" eval --record '{"price": 2.5, "qty": 4}' -e 'total := price * qty' --print-record
expect "globals" 0 $'2\n{}\n{"count":2}' \
    "$strand" eval --globals '{"count": 1}' -e '@count := @count + 1' --print-record
expect "non-ASCII record" 0 $'Zoë!\n{"nom":"Zoë","ü":"ß"}\n{}' \
    "$strand" eval --record '{"nom": "Zo\u00eb"}' -e "ü := 'ß'; nom + '!'" --print-record
expect "array written back" 0 $'99\n{"a":[10,99,30],"s":["x","é"]}\n{}' \
    "$strand" eval --record '{"a": [10, 20, 30], "s": ["x", "é"]}' -e 'a[2] := 99' --print-record
expect "mixed array" 0 $'1;a;;true\n{"v":[1,"a",null,true]}\n{}' \
    "$strand" eval --record '{"v": [1, "a", null, true]}' -e 'v' --print-record
expect "null member" 0 $'false\n{"n":null}\n{}' \
    "$strand" eval --as bool --record '{"n": null}' -e 'n IS DEFINED AND n > 0' --print-record
expect "null member's text" 0 "" "$strand" eval --record '{"n": null}' -e 'n'
expect "numbers JSON cannot carry" 0 $'{"a":"NaN","b":"Infinity","c":1e+300}\n{}' \
    "$strand" eval --as none -e 'a := 0 / 0; b := 1 / 0; c := 1e300' --print-record
expect "none prints the record" 0 $'{"x":1}\n{"g":true}' \
    "$strand" eval --as none --globals '{"g": true}' -e 'x := 1' --print-record
expect "big integer" 0 "9223372036854775807" \
    "$strand" eval --record '{"i": 9223372036854775807}' -e 'i'

# Where the script comes from.
expect "standard input" 0 "6" sh -c "printf '2 * 3' | '$strand' eval -"
printf '\xEF\xBB\xBFx := "\xC3\xA9t\xC3\xA9";\r\nx + "!"\r\n' > "$tmp/script.ss"
expect "file with BOM and CR LF" 0 "été!" "$strand" eval "$tmp/script.ss"

# Failures.
expect_error "syntax error" 2 "line 1:3: unexpected token: x" "$strand" eval -e 'x x'
expect_error "undefined property" 1 "line 1, The expression was trying to access the value on the data stream for the property 'y'" \
    "$strand" eval -e 'y'
expect_error "failure prints no record" 1 "property 'y'" "$strand" eval -e 'y' --print-record
expect_error "no boolean result" 1 "line 1, Error, required a boolean return value but no ELSE clause." \
    "$strand" eval --as bool -e 'IF 1 > 2 THEN x := 1; END IF'
expect_error "not an object" 2 "strand: --record: The JSON element does not have the requested type." \
    "$strand" eval --record '[1, 2]' -e '1'
expect_error "bad JSON" 2 "strand: --globals:" "$strand" eval --globals '{"a": }' -e '1'
expect_error "trailing JSON" 2 "trailing content" "$strand" eval --record '{} {}' -e '1'
# Nested objects flatten to dotted names.
expect "nested object" 0 $'1\n{"o":{"p":1,"q":2}}\n{}' "$strand" eval --record '{"o": {"p": 1}}' --print-record -e "%'o.q' := 2; %'o.p'"
expect "nested array" 0 "1" "$strand" eval --record '{"a": [[1]]}' -e "%'a.1'"
expect_error "members that name one property" 2 "The members 'a' and 'A' name one property" \
    "$strand" eval --record '{"a": 1, "A": 2}' -e '1'
expect_error "JSON not UTF-8" 2 "not valid UTF-8" "$strand" eval --record $'{"a": "\xC3"}' -e '1'
expect_error "script not UTF-8" 2 "not valid UTF-8" "$strand" eval -e $'x := "\xC3"'
expect_error "unknown form" 2 "bogus" "$strand" eval --as bogus -e '1'
expect_error "no script" 2 "FILE or -e" "$strand" eval
expect_error "missing file" 2 "Cannot open" "$strand" eval "$tmp/none.ss"

finish "strand eval"
