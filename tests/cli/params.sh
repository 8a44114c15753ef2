#!/usr/bin/env bash
# strand params check: every parameter of a component definition with its value, evaluated text,
# verdicts and legal values; exit 1 when an enabled parameter is invalid or cannot be evaluated, 2 when
# the definition cannot be used. Hostile definitions end with a clear error, never a crash or a hang.
source "$(dirname "${BASH_SOURCE[0]}")/harness.sh"
cd "$tmp"

through() {  # through FILTER COMMAND...: the command's output through a shell filter, and its status
    local filter="$1" code
    shift
    "$@" > "$tmp/through"
    code=$?
    sh -c "$filter" < "$tmp/through"
    return $code
}
verdicts='grep -v -e "^  value" -e "^  text" -e "^  legal"'

# --- verdicts ----------------------------------------------------------------------------------

cat > verdicts.json <<'EOF'
{"name": "verdicts", "parameters": [
  {"name": "Required", "flags": ["required"]},
  {"name": "Given", "value": "x", "flags": 1},
  {"name": "Level", "value": "medium", "legalValues": ["low", "high"]},
  {"name": "Loose", "value": "medium", "legalValues": ["low", "high"], "enforced": false},
  {"name": "Flag", "value": "TRUE", "type": "BoolType", "legalValues": ["yes", "no"]},
  {"name": "BadFlag", "value": "maybe", "type": "BoolType", "legalValues": ["yes", "no"]},
  {"name": "Failing", "value": "1", "validation": "parameter('Nosuch') = 1"},
  {"name": "NoBoolean", "value": "1", "validation": "setinvaliddetails('x')"},
  {"name": "Reasoned", "value": "0",
   "validation": "IF parameter() > 0 THEN true; ELSE setinvaliddetails('must be positive'); false; END IF"}
]}
EOF
expect "verdicts" 1 'component verdicts
Required
  enabled: yes
  valid: no: This parameter is required.
Given
  enabled: yes
  valid: yes
Level
  enabled: yes
  valid: no: '"'"'medium'"'"' is not a member of the defined legal values
Loose
  enabled: yes
  valid: yes
Flag
  enabled: yes
  valid: yes
BadFlag
  enabled: yes
  valid: no: '"'"'maybe'"'"' is not a member of the defined legal values
Failing
  enabled: yes
  valid: no: Validation script failed:line 1, The expression was trying to access a parameter named '"'"'Nosuch'"'"' but it was not defined on this component.
NoBoolean
  enabled: yes
  valid: no: Validation script failed:line 1, Error, cannot evaluate a void expression as a boolean.
Reasoned
  enabled: yes
  valid: no: must be positive
6 of 9 parameters fail' through "$verdicts" "$strand" params check verdicts.json

expect "settings apply in order" 1 '{"name":"Reasoned","type":"StringType","value":["2"],"text":["2"],"enabled":true,"disabledDetails":"","valid":true,"invalidDetails":"","legalValues":[],"enforced":true}' \
    through 'grep Reasoned' "$strand" params check verdicts.json --json --set Reasoned=-1 --set Reasoned=2
expect "a setting makes its parameter valid" 1 '  valid: yes' \
    through "sed -n '/^Level/,/legal/p' | grep valid" "$strand" params check verdicts.json --set Level=HIGH

# --- text --------------------------------------------------------------------------------------

cat > text.json <<'EOF'
{"name": "text", "parameters": [
  {"name": "Folder", "value": "/srv/out"},
  {"name": "Columns", "value": ["id", "name"]},
  {"name": "Header", "value": "$(Columns)"},
  {"name": "Line", "value": "cols=$(Columns); in $(Folder)/$(Missing) $(open"},
  {"name": "Home", "value": "$(Home)/x"},
  {"name": "Order", "value": "<SQL-SCRIPT>@n := @n + 1; @n</SQL-SCRIPT>-<EXPR>@n := @n * 10; @n</EXPR>"},
  {"name": "Unclosed", "value": "a<EXPR>1"},
  {"name": "Sum", "value": ["1 + 2", "'$(Folder)' . '/' . 3"], "type": "ExpressionType"}
]}
EOF
expect "tokens, the second pass, embedded scripts and expressions" 1 'component text
Folder
  text: "/srv/out"
Columns
  text: "id", "name"
Header
  text: "id", "name"
Line
  text: "cols=id,name; in /srv/out/$(Missing) $(open"
Home
  text: "/home/u/x"
Order
  text: "2-20"
Unclosed
  text: error: Found opening "<EXPR>" but not closing: "a<EXPR>1"
Sum
  text: "3", "/srv/out/3"' \
    through "grep -e '^[A-Zc]' -e '^  text'" "$strand" params check text.json --globals '{"Home": "/home/u", "n": 1}'

# --- groups ------------------------------------------------------------------------------------

cat > groups.json <<'EOF'
{"name": "groups", "parameters": [
  {"name": "Mode", "value": "basic", "legalValues": ["basic", "advanced"], "flags": ["revalidate"]},
  {"name": "Plain", "value": "basic", "legalValues": ["basic", "advanced"]},
  {"name": "Advanced", "type": "GroupType", "members": ["Depth", "Cache"],
   "enabling": "parameter('Mode') = 'advanced' AND parameter('Plain') = 'advanced'"},
  {"name": "Depth", "value": "3"},
  {"name": "Cache", "value": "maybe", "legalValues": ["on", "off"]}
]}
EOF
expect "a disabled group disables its members, which are then valid" 0 'component groups
Mode
  enabled: yes
  valid: yes
Plain
  enabled: yes
  valid: yes
Advanced
  enabled: no
  valid: yes
Depth
  enabled: no
  valid: yes
Cache
  enabled: no
  valid: yes
all 2 enabled parameters are valid' through "$verdicts" "$strand" params check groups.json
# Plain does not revalidate the component: its change is seen once Mode (which does) changes too.
expect "a setting without the revalidate flag leaves other verdicts" 0 'Advanced
  enabled: no' through "$verdicts | grep -A1 '^Advanced'" "$strand" params check groups.json --set Plain=advanced
expect "an enabled group is invalid when a member is" 1 'Advanced
  enabled: yes
  valid: no: One or more group members are invalid.
Depth
  enabled: yes
  valid: yes
Cache
  enabled: yes
  valid: no: '"'"'maybe'"'"' is not a member of the defined legal values' \
    through "$verdicts | sed -n '/^Advanced/,/^[0-9a]/p' | sed '\$d'" \
    "$strand" params check groups.json --set Plain=advanced --set Mode=advanced
expect "members in JSON" 0 '"members":["Depth","Cache"]' \
    through "grep -o '\"members\":[^]]*]'" "$strand" params check groups.json --json

# --- caching -----------------------------------------------------------------------------------

cat > counted.json <<'EOF'
{"name": "counted", "parameters": [
  {"name": "Counted", "value": "v",
   "validation": "IF @runs IS DEFINED THEN @runs := @runs + 1; ELSE @runs := 1; END IF; setinvaliddetails('runs ' . @runs); false"},
  {"name": "Other", "value": "o"},
  {"name": "Switch", "value": "s", "flags": ["revalidate"]}
]}
EOF
counted() { through "grep -A4 '^Counted' | grep valid" "$strand" params check counted.json "$@"; }
expect "a rule runs once for all the queries" 1 '  valid: no: runs 1' counted
expect "another parameter's setting reruns nothing" 1 '  valid: no: runs 1' counted --set Other=x --set Other=y
expect "a revalidating setting reruns the rule" 1 '  valid: no: runs 2' counted --set Switch=x
expect "the parameter's own settings rerun its rule once" 1 '  valid: no: runs 2' counted --set Counted=x --set Counted=y

# --- definitions that cannot be used -------------------------------------------------------------

printf '{"name": "x", "parameters": [{"name": "A", "vaule": "1"}]}' > unknown.json
expect_error "unknown key" 2 "strand: unknown.json: parameter 'A': unknown key 'vaule'" \
    "$strand" params check unknown.json
printf '{"name": "x", "parameters": [{"value": "1"}]}' > noname.json
expect_error "no name" 2 "strand: noname.json: parameter 1: a parameter needs a 'name'" "$strand" params check noname.json
printf '{"name": "x", "parameters": [{"name": "A"}, {"name": "a"}]}' > twice.json
expect_error "a name used twice" 2 "strand: twice.json: parameter 'a': the name is used by an earlier parameter" \
    "$strand" params check twice.json
printf '{"name": "x", "parameters": [{"name": "G", "members": ["Nosuch"]}]}' > member.json
expect_error "a member that names nothing" 2 \
    "strand: member.json: parameter 'G': the member 'Nosuch' names no parameter of the component" \
    "$strand" params check member.json
printf '{"name": "x", "parameters": [{"name": "A", "flags": ["optional"]}]}' > flags.json
expect_error "bad flags" 2 "parameter 'A': 'flags' must be an integer or an array of the words" \
    "$strand" params check flags.json
printf '{"name": "x", "parameters": [{"name": "A", "value": 1}]}' > value.json
expect_error "a number for a value" 2 "parameter 'A': 'value' must be an array of strings" "$strand" params check value.json
printf '{"name": "x", "parameters": {}}' > notarray.json
expect_error "parameters not an array" 2 "strand: notarray.json: 'parameters' must be an array" \
    "$strand" params check notarray.json
printf '{"parameters": []}' > nocomponentname.json
expect_error "no component name" 2 "a component needs a 'name'" "$strand" params check nocomponentname.json
printf '{"name": "x", "parameters": [' > cut.json
expect_error "cut JSON" 2 "strand: cut.json: " "$strand" params check cut.json
expect_error "missing file" 2 "strand: none.json: cannot be read" "$strand" params check none.json
expect_error "unknown setting" 2 "strand: --set Nosuch: verdicts.json has no parameter 'Nosuch'" \
    "$strand" params check verdicts.json --set Nosuch=1
expect_error "setting without =" 2 "strand: --set Level: expected NAME=VALUE" \
    "$strand" params check verdicts.json --set Level
expect_error "bad globals" 2 "strand: --globals:" "$strand" params check verdicts.json --globals '[1]'

# --- hostile definitions -----------------------------------------------------------------------

printf '{"name": "x", "parameters": [{"name": "A", "value": "$(B)"}, {"name": "B", "value": "$(A)"}]}' > cycle.json
expect "a macro cycle" 1 '  text: error: cyclic macro reference: A -> B -> A
  text: error: cyclic macro reference: B -> A -> B' through "grep text" "$strand" params check cycle.json

printf '{"name": "x", "parameters": [{"name": "G1", "members": ["G2"]}, {"name": "G2", "members": ["G1"]}]}' \
    > groupcycle.json
expect_error "a group cycle" 2 \
    "strand: groupcycle.json: parameter 'G2': Cannot add 'G1' to the members of group 'G2': groups cannot contain themselves (G2 -> G1 -> G2)" \
    "$strand" params check groupcycle.json

make_chain() {  # make_chain FILE N: C0 = x$(C1), ..., the last one plain
    awk -v n="$2" 'BEGIN {
        printf "{\"name\": \"chain\", \"parameters\": [";
        for (i = 0; i < n; i++)
            printf "%s{\"name\": \"C%d\", \"value\": \"%s\"}", (i ? "," : ""), i, (i + 1 < n ? "x$(C" (i + 1) ")" : "end");
        print "]}" }' > "$1"
}
make_chain chain.json 10000
expect "a 10,000-long chain fails where it nests too deeply" 1 \
    '  text: error: the text of parameter '"'"'C64'"'"' nested too deeply: more than 64 levels
9936 of 10000 parameters fail' \
    through "sed -n -e '4p' -e '\$p'" "$strand" params check chain.json

awk 'BEGIN { printf "{\"name\": \"laughs\", \"parameters\": [";
    for (i = 1; i < 40; i++) printf "{\"name\": \"P%d\", \"value\": \"$(P%d)$(P%d)\"},", i, i + 1, i + 1;
    print "{\"name\": \"P40\", \"value\": \"ab\"}]}" }' > laughs.json
expect "a billion laughs stop at the bound" 1 \
    "P1 The evaluated text of parameter 'P16' would exceed 16777216 code units
P16 The evaluated text of parameter 'P16' would exceed 16777216 code units
P17 16777218" \
    through "awk '/^P/ { name = \$0 } /^  text: / { sub(/^  text: (error: )?/, \"\"); print name, (name == \"P17\" ? length(\$0) : \$0) }' |
             grep -e '^P1 ' -e '^P16 ' -e '^P17 '" "$strand" params check laughs.json

cat > tagloop.json <<'EOF'
{"name": "x", "parameters": [{"name": "Loop", "value": "<EXPR>'<EX' . 'PR>' . @s . '</EX' . 'PR>'</EXPR>"}]}
EOF
expect "a script that keeps bringing its tag back" 1 \
    "  text: error: the embedded scripts of parameter 'Loop' nested too deeply: more than 64 levels" \
    through "grep text" "$strand" params check tagloop.json --globals "{\"s\": \"'<EX' . 'PR>' . @s . '</EX' . 'PR>'\"}"

awk 'BEGIN { printf "{\"name\": \"big\", \"parameters\": [";
    for (i = 0; i < 100000; i++)
        printf "%s{\"name\": \"N%d\", \"value\": \"%d\", \"legalValues\": [\"%d\"], \"members\": [%s]}",
            (i ? "," : ""), i, i, i, (i % 2 ? "\"N" (i + 1 < 100000 ? i + 1 : 0) "\"" : "");
    print "]}" }' > big.json
expect "100,000 parameters" 0 "all 100000 enabled parameters are valid" \
    through "tail -n 1" "$strand" params check big.json

finish "strand params check"
