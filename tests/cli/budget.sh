#!/usr/bin/env bash
# The step budget: --max-steps N lets a run take N steps (turns of loops, runs of eval) and stops it at
# the step past them with a message naming the line of the loop; --timeout stops a run that lasts too
# long. Both count afresh for every record.
source "$(dirname "$0")/harness.sh"

loop10=$'#s := 0;\nFOR #i IN 1 .. 10 LOOP #s += #i; END LOOP; #s'
expect "N steps work" 0 "55" "$strand" eval --max-steps 10 -e "$loop10"
expect_error "N+1 steps fail" 1 \
    "line 2, The script took more than 9 steps (turns of its loops and runs of eval) and was stopped." \
    "$strand" eval --max-steps 9 -e "$loop10"
expect "while counts its turns" 0 "3" "$strand" eval --max-steps 3 -e '#i := 0; WHILE #i < 3 LOOP #i += 1; END LOOP; #i'
expect_error "an endless loop ends" 1 "line 1, The script took more than 1000000 steps" \
    "$strand" eval --as none --max-steps 1000000 -e 'WHILE true LOOP END LOOP'
expect_error "a runaway ends in time" 1 "line 1, The script ran longer than 0.2 seconds and was stopped." \
    "$strand" eval --as none --timeout 0.2 -e '#i := 0; WHILE true LOOP #i += 1; END LOOP'
# No loop, no steps: a script that doubles a text to a quarter of a gigabyte is stopped by the
# clock, which large texts read as they are built and stored.
doubling="#t := '0123456789abcdef';"
for _ in $(seq 23); do doubling+=$'\n#t .= #t;'; done
doubling+=$'\na := #t;\nb := a;'
expect_error "a script without loops that builds huge texts ends in time" 1 \
    "The script ran longer than 0.001 seconds and was stopped." \
    "$strand" eval --as none --timeout 0.001 -e "$doubling"
expect "small texts never read the clock" 0 "abab" "$strand" eval --timeout 0.001 -e "#t := 'ab'; #t .= #t; #t"
expect_error "no budget of 0" 2 "strand: --max-steps: Value 0 not in range 1" "$strand" eval --max-steps 0 -e 1

printf 'n\n1\n2\n3\n' > "$tmp/n.csv"
expect_error "each record counts afresh; the failing one is named" 1 \
    "strand: record 3 (n.csv, line 4): line 1, The script took more than 8 steps" \
    bash -c "cd '$tmp' && '$strand' run --max-steps 8 -e 'FOR #i IN 1 .. n * 4 LOOP x := #i; END LOOP' n.csv -o out.csv"
expect_file "records before it are written" "$tmp/out.csv" $'n,x\n1,4\n2,8'
expect_error "init scripts have the budget too" 1 "strand: the init script failed: line 1, The script took more than 2 steps" \
    "$strand" run --max-steps 2 --init 'FOR #i IN 1 .. 3 LOOP @x := #i; END LOOP' -e 'y := 1' "$tmp/n.csv"
finish "budget"
