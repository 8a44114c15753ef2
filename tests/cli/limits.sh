#!/usr/bin/env bash
# The command's input limits at N (works) and N + 1 (the message): the size of a script, the length
# of a property name in a header and in a JSON member. (JSON nesting is in streams.sh; the engine's
# own limits are tested through the library.)
source "$(dirname "$0")/harness.sh"
cd "$tmp"

python3 -c "import sys; sys.stdout.write(' ' * ((64 << 20) - 1) + '1')" > at-limit.ss
python3 -c "import sys; sys.stdout.write(' ' * (64 << 20) + '1')" > past-limit.ss
expect "a script of 64 MiB" 0 "" "$strand" check at-limit.ss
expect_error "a script of 64 MiB and a byte" 2 "strand: past-limit.ss is longer than 64 MiB, the most a script may be" \
    "$strand" check past-limit.ss

python3 -c "print('a' * 65536 + ',b'); print('1,2')" > name-at-limit.csv
python3 -c "print('a' * 65537 + ',b'); print('1,2')" > name-past-limit.csv
expect "a header name of 65536 characters" 0 "$(printf 'a%.0s' $(seq 65536)),b,z
1,2,1" "$strand" run -e 'z := 1' name-at-limit.csv
expect_error "a header name of 65537 characters" 1 \
    "Column 1 of the header is longer than 65536 characters, the most a name may be" \
    "$strand" run -e 'z := 1' name-past-limit.csv

python3 -c "print('{\"' + 'a' * 65536 + '\":1}')" > member-at-limit.jsonl
python3 -c "print('{\"' + 'a' * 65537 + '\":1}')" > member-past-limit.jsonl
expect "a member name of 65536 characters" 0 "{\"$(printf 'a%.0s' $(seq 65536))\":1,\"z\":1}" \
    "$strand" run -e 'z := 1' member-at-limit.jsonl
expect_error "a member name of 65537 characters" 1 \
    "A member name is longer than 65536 characters, the most a name may be" \
    "$strand" run -e 'z := 1' member-past-limit.jsonl

# A record of 256 MiB with its line end, and one byte more; then a record past 256 MiB (here a quote
# left open). In the release build only: under the sanitizers the reader's buffers cost several times
# as much.
if [ -z "${STRAND_SANITIZED:-}" ]; then
    python3 -c "import sys; sys.stdout.write('a,b\n1,' + 'x' * ((256 << 20) - 3) + '\n')" > record.csv
    expect "a record of 256 MiB" 0 "" "$strand" run -e 'z := 1' record.csv -o record.out
    expect "a record of 256 MiB comes back whole" 0 "268435464 xx,1" \
        bash -c 'echo "$(stat -c %s record.out) $(tail -c 5 record.out | head -c 4)"'
    python3 -c "import sys; sys.stdout.write('a,b\n1,' + 'x' * ((256 << 20) - 2) + '\n')" > record.csv
    expect "a record of 256 MiB and a byte" 1 "" "$strand" run -e 'z := 1' record.csv -o record.out
    expect_stderr "a record of 256 MiB and a byte" \
        "strand: record.csv, line 2: A record is longer than 256 MiB; is a quote left open?"
    rm -f record.csv record.out
    python3 -c "import sys; sys.stdout.write('a,b\n1,\"' + 'x' * (256 << 20) + '\n')" > open-quote.csv
    expect "a record past 256 MiB" 1 "a,b" "$strand" run -e 'z := 1' open-quote.csv
    expect_stderr "a record past 256 MiB" "strand: open-quote.csv, line 2: A record is longer than 256 MiB; is a quote left open?"
    rm -f open-quote.csv
fi

finish "strand limits"
