# Sourced by the command-line test scripts: `strand` is the binary under test (the script's first
# argument), `tmp` a folder removed at exit, and each check counts its failures; `finish` reports.
set -u
strand="$1"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failures=0

expect() {  # expect NAME STATUS EXPECTED_OUTPUT COMMAND...
    local name="$1" status="$2" expected="$3"
    shift 3
    local out code
    out=$("$@" 2>"$tmp/err")
    code=$?
    if [ "$code" != "$status" ] || [ "$out" != "$expected" ]; then
        echo "FAIL $name: exit $code (wanted $status)"
        echo "--- got:"; printf '%s\n' "$out"; cat "$tmp/err"
        echo "--- wanted:"; printf '%s\n' "$expected"
        failures=$((failures + 1))
    fi
}

expect_stderr() {  # expect_stderr NAME TEXT: the last command's standard error contains TEXT
    if ! grep -qF -- "$2" "$tmp/err"; then
        echo "FAIL $1: standard error lacks: $2"
        cat "$tmp/err"
        failures=$((failures + 1))
    fi
}

expect_error() {  # expect_error NAME STATUS TEXT_IN_STANDARD_ERROR COMMAND...: nothing on standard output
    local name="$1" status="$2" text="$3"
    shift 3
    expect "$name" "$status" "" "$@"
    expect_stderr "$name" "$text"
}

expect_file() {  # expect_file NAME FILE EXPECTED
    local got
    got=$(cat "$2")
    if [ "$got" != "$3" ]; then
        echo "FAIL $1: $2 holds:"; printf '%s\n' "$got"
        echo "--- wanted:"; printf '%s\n' "$3"
        failures=$((failures + 1))
    fi
}

finish() {  # finish WHAT: the summary line and the exit status
    if [ "$failures" -ne 0 ]; then
        echo "$failures failure(s)"
        exit 1
    fi
    echo "all $1 cases passed"
}
