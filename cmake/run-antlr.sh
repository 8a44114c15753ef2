#!/bin/sh
# Runs the ANTLR 2 tool quietly: its banner is dropped, its warnings and errors are shown.
tool="$1"
shift
out=$("$tool" "$@" 2>&1)
status=$?
printf '%s\n' "$out" | grep -v -e '^Running java' -e '^ANTLR Parser Generator' \
    -e 'Vocabularies of this size still experimental' || true
if [ $status -ne 0 ] || printf '%s\n' "$out" | grep -q -e '^error' -e ': error' -e 'panic'; then
    exit 1
fi
exit 0
