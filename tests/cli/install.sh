#!/usr/bin/env bash
# cmake --install puts the command, its manual page and its bash completion in place; the completion
# offers the commands, each command's options and the format names.
source "$(dirname "$0")/harness.sh"
build="$2"
stage="$tmp/stage"

if ! cmake --install "$build" --prefix "$stage" >"$tmp/install.log" 2>&1; then
    echo "FAIL install: cmake --install failed"; cat "$tmp/install.log"; exit 1
fi
[ -x "$stage/bin/strand" ] || { echo "FAIL install: no bin/strand"; failures=$((failures + 1)); }
expect "installed command runs" 0 "3" "$stage/bin/strand" eval -e "1 + 2"

man="$stage/share/man/man1/strand.1"
if [ -f "$man" ]; then
    grep -q '^\.TH STRAND' "$man" || { echo "FAIL man: no .TH header"; failures=$((failures + 1)); }
    grep -q 'Exit status' "$man" || { echo "FAIL man: the exit statuses are missing"; failures=$((failures + 1)); }
else
    echo "FAIL man: $man was not installed"; failures=$((failures + 1))
fi

completion="$stage/share/bash-completion/completions/strand"
[ -f "$completion" ] || { echo "FAIL completion: not installed"; failures=$((failures + 1)); finish "install"; }
complete_words() {  # complete_words WORD...: what the completion offers for the last word
    bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _strand; printf "%s\n" "${COMPREPLY[@]}"' \
        _ "$completion" "$@" | sort | tr '\n' ' '
}
expect "commands" 0 "repl run " complete_words "$stage/bin/strand" r
expect "options from --help" 0 "--gzin --gzout " complete_words "$stage/bin/strand" run --gz
expect "formats after --out" 0 "pprint " complete_words "$stage/bin/strand" run --out pp
expect "params subcommands" 0 "check " complete_words "$stage/bin/strand" params ch
finish "install"
