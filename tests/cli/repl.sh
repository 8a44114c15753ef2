#!/usr/bin/env bash
# strand repl: fed from a pipe (no prompts, exact output), then through a real terminal under tmux
# (prompts, line editing, continuation lines, history).
source "$(dirname "$0")/harness.sh"

# --- from a pipe ------------------------------------------------------------------------------------
repl() { printf '%s\n' "$@" | "$strand" repl; }

expect "value" 0 "3" repl "1 + 2"
expect "record and globals last" 0 $'60\n1\n61\n{"price":20,"qty":3,"total":60}\n{"n":1}' \
    repl ':record {"price": 20, "qty": 3}' 'total := price * qty' '@n := 1' 'total + @n' ':record' ':globals'
expect "a statement continues until it parses" 0 "big" \
    repl ':record {"total": 60}' 'IF total > 50 THEN' "  'big';" 'ELSE' "  'small';" 'END IF'
expect "an open parenthesis continues" 0 "9" repl '(1 +' '  8)'
expect "blank lines between inputs" 0 $'1\n2' repl '1' '' '' '2'
expect ":functions by prefix" 0 "$("$strand" functions | grep -i '^strlen')" repl ':functions STRLEN'
expect "check the last input" 0 $'1\nno messages' repl "x := 1" ":check"
expect "check shows the last input's messages" 0 "line 1:6: unexpected token: :=" repl "x := := 1" ":check"
expect ":quit ends" 0 "1" repl "1" ":quit" "2"

# Failures go to standard error and the session goes on.
expect "parse failure, then on" 0 "5" repl "x := := 1" "5"
expect_stderr "parse failure message" "line 1:"
expect "an empty line ends a statement that waits" 0 "7" repl "IF true THEN" "" "7"
expect_stderr "unfinished statement shown" "line"
expect "evaluation failure, then on" 0 "2" repl "@missing + 1" "2"
expect_stderr "evaluation failure message" "missing"
expect "bad record JSON keeps the record" 0 '{"a":1}' repl ':record {"a": 1}' ':record {"a": ' ':record'
expect_stderr "bad record JSON message" ":record: "
expect "unknown session command" 0 "" repl ":nonsense"
expect_stderr "unknown session command message" "unknown command ':nonsense' (:help lists them)"
expect "help lists the commands" 0 ":record [JSON]     replace the data record by the JSON object, or print it" \
    bash -c "printf ':help\n' | '$strand' repl | head -1"

# --- through a terminal -------------------------------------------------------------------------------
if ! command -v tmux >/dev/null; then
    echo "SKIP the terminal cases: tmux is not installed"
    finish "repl"
fi
socket="strand-repl-test-$$"
tmuxc() { tmux -L "$socket" "$@"; }
trap 'tmuxc kill-server 2>/dev/null; rm -rf "$tmp"' EXIT
# waits (up to 10 s) until the pane shows TEXT
wait_for() {
    local i
    for i in $(seq 100); do
        tmuxc capture-pane -p -t repl | grep -qF -- "$1" && return 0
        sleep 0.1
    done
    echo "FAIL terminal: the pane never showed: $1"
    tmuxc capture-pane -p -t repl
    failures=$((failures + 1))
    return 1
}
tmuxc -f /dev/null new-session -d -s repl -x 100 -y 30 "env HOME=$tmp $strand repl --history $tmp/history"
wait_for "strand>"
tmuxc send-keys -t repl ':record {"price": 4}' Enter
tmuxc send-keys -t repl 'price * 10' Enter
wait_for "40"
tmuxc send-keys -t repl 'IF price > 2 THEN' Enter
wait_for "...>"
tmuxc send-keys -t repl "'many'\\;"
tmuxc send-keys -t repl Enter
tmuxc send-keys -t repl 'END IF' Enter
wait_for "many"
# Line editing: a typo mended with the cursor keys before Enter.
tmuxc send-keys -t repl '7 - 2' Left Left BSpace '*' Enter
wait_for "14"
# History: the up arrow brings back the last line.
tmuxc send-keys -t repl Up Enter
wait_for "14"
count=$(tmuxc capture-pane -p -t repl | grep -c '^14$')
[ "$count" = 2 ] || { echo "FAIL terminal: history recall gave $count results of 14"; failures=$((failures + 1)); }
tmuxc send-keys -t repl C-d
for i in $(seq 50); do tmuxc has-session -t repl 2>/dev/null || break; sleep 0.1; done
if tmuxc has-session -t repl 2>/dev/null; then
    echo "FAIL terminal: Ctrl-D did not end the session"
    failures=$((failures + 1))
fi
grep -qF "price" "$tmp/history" || { echo "FAIL terminal: the history file lacks the lines"; failures=$((failures + 1)); }

finish "repl"
