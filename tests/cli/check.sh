#!/usr/bin/env bash
# strand check: messages on standard output, one per line; exit 1 for errors, 0 otherwise
# (warnings alone still print); 2 for input it cannot read.
source "$(dirname "${BASH_SOURCE[0]}")/harness.sh"

expect "clean text" 0 "" "$strand" check -e 'x := 1; y := x + 2'
expect "syntax error" 1 "line 1:8: expecting EOF, found ';'" "$strand" check -e 'x := 1;;'
expect "warning alone" 0 "Found identifier 'ENDIF', perhaps you meant 'END IF'?" "$strand" check -e 'endif := 1'
expect "unknown function" 1 "line 2, Unknown function 'nosuch'." "$strand" check -e $'x := 1;\ny := nosuch()'

printf 'IF a THEN\r\n  b := 1;\r\nEND IF\r\n' > "$tmp/crlf.ss"
expect "file with CR LF" 0 "" "$strand" check "$tmp/crlf.ss"
printf '\xEF\xBB\xBFx := "\xC3\xA9t\xC3\xA9"' > "$tmp/bom.ss"
expect "byte-order mark and UTF-8" 0 "" "$strand" check "$tmp/bom.ss"
expect "standard input" 1 $'line 1:3: unexpected char: !\nline 1, Found \'!\', perhaps you meant \'NOT\'?' sh -c "printf 'x ! y' | '$strand' check -"

# The help text of a construct spans several lines, each message ending with one line feed.
expected=$'line 1:9: expecting "loop", found \'END\'\n\nThe syntax for the WHILE LOOP clause is:\nWHILE boolean_expression\nLOOP\n   expression_sequence\nEND LOOP\n\nline 1:9: unexpected token: END'
expect "help text" 1 "$expected" "$strand" check -e 'WHILE x END LOOP'

printf 'x := "\xC3"' > "$tmp/bad.ss"
expect "invalid UTF-8" 2 "" "$strand" check "$tmp/bad.ss"
expect "missing file" 2 "" "$strand" check "$tmp/none.ss"
expect "no script" 2 "" "$strand" check

finish "strand check"
