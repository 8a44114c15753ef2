#!/usr/bin/env bash
# strand params pack, unpack and edit, and check of a packed component: the packed form round-trips,
# both stream versions read, hostile files end with a clear error, and the component-editing built-ins
# change a component as their texts say.
source "$(dirname "${BASH_SOURCE[0]}")/harness.sh"
cd "$tmp"

cat > shop.json <<'JSON'
{"name": "shop", "outputTypes": {"total": "Halvorn.data.DoubleValue"}, "parameters": [
  {"name": "Title", "value": "caf\u00e9 \u20ac", "help": "The title", "flags": 1},
  {"name": "Level", "value": ["low", "high"], "legalValues": ["low", "mid", "high"], "enforced": false},
  {"name": "Limit", "value": "5", "type": "LongType", "validation": "parameter() < 10"},
  {"name": "Settings", "type": "GroupType", "members": ["Level", "Limit"], "expanded": true}
]}
JSON
shop='{"name": "shop", "outputTypes": {"total": "Halvorn.data.DoubleValue"}, "parameters": [
  {"name": "Title", "value": "café €", "help": "The title", "flags": 1},
  {"name": "Level", "value": ["low", "high"], "legalValues": ["low", "mid", "high"], "enforced": false},
  {"name": "Limit", "value": "5", "type": "LongType", "validation": "parameter() < 10"},
  {"name": "Settings", "value": "", "type": "GroupType", "members": ["Level", "Limit"], "expanded": true}
]}'

# --- pack and unpack ---------------------------------------------------------------------------

expect "pack" 0 "" "$strand" params pack shop.json -o shop.sscp
expect "packed magic and version" 0 "SSCP" head -c 4 shop.sscp
expect "unpack" 0 "$shop" "$strand" params unpack shop.sscp
expect "pack version 1" 0 "" "$strand" params pack shop.json -o shop1.sscp --stream-version 1
expect "unpack version 1" 0 "$shop" "$strand" params unpack shop1.sscp
if cmp -s shop.sscp shop1.sscp; then
    echo "FAIL versions: the two stream versions wrote the same bytes"; failures=$((failures + 1))
fi
expect "repack is byte-identical" 0 "" "$strand" params pack shop.sscp -o again.sscp
expect "repack compares" 0 "" cmp shop.sscp again.sscp
expect "unpack to a file" 0 "" "$strand" params unpack shop.sscp -o shop-out.json
expect_file "unpacked file" shop-out.json "$shop"
expect "check reads packed files" 0 "component shop
Title
  value: \"café €\"
  text: \"café €\"
  enabled: yes
  valid: yes
  legal values: any
Level
  value: \"low\", \"high\"
  text: \"low\", \"high\"
  enabled: yes
  valid: yes
  legal values: \"low\", \"mid\", \"high\" (not enforced)
Limit
  value: \"5\"
  text: \"5\"
  enabled: yes
  valid: yes
  legal values: any
Settings
  value: \"\"
  text: \"\"
  enabled: yes
  valid: yes
  legal values: any
all 4 enabled parameters are valid" "$strand" params check shop.sscp
expect_error "stream version 3" 2 "--stream-version" "$strand" params pack shop.json -o x.sscp --stream-version 3
expect_error "pack needs -o" 2 "-o" "$strand" params pack shop.json

# --- hostile packed files ----------------------------------------------------------------------

printf 'SSCP' > empty.sscp
expect_error "no version" 2 "empty.sscp: EOF reading int header" "$strand" params unpack empty.sscp
printf 'SSCP\x0c' > v3.sscp
expect_error "unknown version" 2 "v3.sscp: stream version 3 is not 1 or 2" "$strand" params unpack v3.sscp
head -c 60 shop.sscp > cut.sscp
expect_error "cut short" 2 "cut.sscp: EOF" "$strand" params unpack cut.sscp
{ cat shop.sscp; printf 'xy'; } > trailing.sscp
expect_error "trailing bytes" 2 "trailing.sscp: 2 bytes follow the component record" "$strand" params unpack trailing.sscp
printf 'SSCP\x08\x04\x10big\x00\x02\xc9\x00\x04\x03\xff\xff\xff\x7f' > huge.sscp
expect_error "huge count" 2 "huge.sscp: EOF reading int header" "$strand" params unpack huge.sscp
printf 'SSCP\x08\x04\x10big\x00\x02\xc9\x00\x04\x00\x04\x1cnosuch\x00' > nosuch.sscp
expect_error "group of no parameter" 2 "The group 'nosuch' of the stream is no parameter of the collection" \
    "$strand" params unpack nosuch.sscp
for seed in 1 2 3 4 5 6 7 8; do
    { printf 'SSCP\x08'; head -c 200 /dev/urandom; } > random.sscp
    "$strand" params unpack random.sscp > /dev/null 2> random.err
    code=$?
    if [ "$code" -ne 0 ] && [ "$code" -ne 2 ]; then
        echo "FAIL random $seed: exit $code"; cat random.err; failures=$((failures + 1))
    fi
done

# --- edit --------------------------------------------------------------------------------------

# The component the edit cases start from: its one parameter gives the scripts a list value.
cat > empty.json <<'JSON'
{"name": "blank", "parameters": [{"name": "List", "value": ["a", "b"]}]}
JSON
list='{"name": "blank", "parameters": [
  {"name": "List", "value": ["a", "b"]},'

edit() {  # edit NAME STATUS EXPECTED SCRIPT: edits empty.json with the script
    expect "$1" "$2" "$3" "$strand" params edit empty.json -e "$4"
}

edit "setparam defines with flag word 3 or 7" 0 "$list"'
  {"name": "One", "value": "x", "help": "A parameter created by setparam()", "flags": 3},
  {"name": "Many", "value": ["a", "b"], "help": "A parameter created by setparam()", "flags": 7}
]}' "setparam('One', 'x'); setparam('Many', List)"
edit "setparam of an existing parameter changes only the value" 0 "$list"'
  {"name": "One", "value": ["a", "b"], "type": "LongType", "help": "A parameter created by setparam()", "flags": 2}
]}' "setparam('One', 'x'); setparamflag('One', 1, false); setparamtype('One', 'longtype'); setparam('One', List)"
edit "setparamtype takes any letter case" 0 "$list"'
  {"name": "P", "value": "v", "help": "A parameter created by setparam()", "flags": 3, "legalValues": ["a", "b"]},
  {"name": "Type", "value": "StringType", "help": "A parameter created by setparam()", "flags": 3}
]}' "setparam('P', 'v'); setparamlegalvalues('P', List, true); setparamtype('P', 'LONGTYPE'); setparamtype('P', 'stringtype'); setparam('Type', getparamtype('P'))"
edit "setparamtype refuses an unknown word" 1 "" "setparam('P', 'v'); setparamtype('P', 'NoType')"
expect_stderr "setparamtype refuses an unknown word" "'NoType' is not a valid parameter type for the SetParamType function."
edit "setparamtype of no parameter" 1 "" "setparamtype('Nosuch', 'StringType')"
expect_stderr "setparamtype of no parameter" "Parameter 'Nosuch' was not found on this component.  Check that the parameter name is spelled correctly, or use the SetParam function to create this parameter."
edit "getparamflag" 0 "$list"'
  {"name": "P", "value": "v", "help": "A parameter created by setparam()", "flags": 3},
  {"name": "R", "value": "true,true,false,false,true,false", "help": "A parameter created by setparam()", "flags": 3}
]}' "setparam('P', 'v'); setparam('R', getparamflag('P', 1) . ',' . getparamflag('P', 2) . ',' . getparamflag('P', 3) . ',' . getparamflag('P', 4) . ',' . getparamflag('P', 5) . ',' . getparamflag('Nosuch', 0))"
edit "getparamflag code 0" 1 "" "setparam('P', 'v'); getparamflag('P', 0)"
expect_stderr "getparamflag code 0" "Illegal flag code 0 passed to getparamflags"
edit "getparamflag code 6" 1 "" "setparam('P', 'v'); getparamflag('P', 6)"
expect_stderr "getparamflag code 6" "Illegal flag code 6 passed to getparamflags"
edit "setparamflag sets and clears" 0 "$list"'
  {"name": "P", "value": "v", "help": "A parameter created by setparam()", "flags": 10}
]}' "setparam('P', 'v'); setparamflag('P', 4, true); setparamflag('P', 1, false)"
edit "setparamflag code 5" 1 "" "setparam('P', 'v'); setparamflag('P', 5, true)"
expect_stderr "setparamflag code 5" "Flag code 1 illegal in setparamflags"
edit "setparamflag code 9" 1 "" "setparam('P', 'v'); setparamflag('P', 9, true)"
expect_stderr "setparamflag code 9" "Illegal flag code 9 passed to setparamflags"
edit "setparamflag of no parameter" 1 "" "setparamflag('Q', 1, true)"
expect_stderr "setparamflag of no parameter" "Parameter Q not found, cannot set a flag"
edit "help: sethelp on a new component, gethelp of the pass port" 0 "$list"'
  {"name": "ComponentHelp", "value": ["Counts", "", "", "", "", "Passes"]},
  {"name": "R", "value": "Passes||Counts", "help": "A parameter created by setparam()", "flags": 3}
]}' "sethelp('ComponentHelpPassPort', 'Passes'); sethelp('componenthelppurpose', 'Counts'); setparam('R', gethelp('ComponentHelpPassPort') . '|' . gethelp('ComponentHelpDescription') . '|' . gethelp('COMPONENTHELPPURPOSE'))"
edit "gethelp without component help" 0 "$list"'
  {"name": "R", "value": "No component-level help|No parameter help", "help": "A parameter created by setparam()", "flags": 3},
  {"name": "S", "value": "A parameter created by setparam()", "help": "A parameter created by setparam()", "flags": 3}
]}' "setparam('R', gethelp('ComponentHelpFailPort') . '|' . gethelp('Nosuch')); setparam('S', gethelp('R'))"
edit "gethelp past the end of the help list" 1 "" "sethelp('ComponentHelpPurpose', 'x'); gethelp('ComponentHelpFailPort')"
edit "setparamhelp and getparamhelp" 0 "$list"'
  {"name": "P", "value": "new help", "help": "new help", "flags": 3}
]}' "setparam('P', 'v'); setparamhelp('P', 'new help'); setparam('P', getparamhelp('P'))"
edit "getparamhelp of no parameter" 1 "" "getparamhelp('Nosuch')"
expect_stderr "getparamhelp of no parameter" "Parameter not found"
edit "getparamtype of no parameter" 1 "" "getparamtype('Nosuch')"
expect_stderr "getparamtype of no parameter" "The 'Nosuch' parameter was not found."
edit "legal values" 0 "$list"'
  {"name": "P", "value": ["a", "b"], "help": "A parameter created by setparam()", "flags": 3, "legalValues": ["a", "b"], "enforced": false},
  {"name": "R", "value": "a", "help": "A parameter created by setparam()", "flags": 3}
]}' "setparam('P', 'x'); setparamlegalvalues('P', List, false); setparam('P', getparamlegalvalues('P')); setparam('R', getparamlegalvalues('P') . '')"
edit "getparamlegalvalues of a parameter without any" 1 "" "setparam('P', 'x'); setparam('R', getparamlegalvalues('P') . '')"
expect_stderr "getparamlegalvalues of a parameter without any" "The 'P' parameter has no legal values."
edit "setparamlegalvalues of no parameter" 1 "" "setparamlegalvalues('Q', List, true)"
expect_stderr "setparamlegalvalues of no parameter" "Can't find parameter named 'Q' on the component.  Use SetParam() to first create the parameter."
edit "counting and naming" 0 "$list"'
  {"name": "A", "value": "blank", "help": "A parameter created by setparam()", "flags": 3},
  {"name": "B", "value": "List", "help": "A parameter created by setparam()", "flags": 3},
  {"name": "C", "value": "3", "help": "A parameter created by setparam()", "flags": 3}
]}' "setparam('A', getcomponentname(1, 2)); setparam('B', getithparamname(0.9)); setparam('C', getnumparams('ignored'))"
edit "getithparamname past the end" 1 "" "getithparamname(1)"
edit "getparam" 0 "$list"'
  {"name": "A", "value": "x", "help": "A parameter created by setparam()", "flags": 3},
  {"name": "B", "value": "x", "help": "A parameter created by setparam()", "flags": 3}
]}' "setparam('A', 'x'); setparam('B', getparam('A'))"
edit "getparam of no parameter" 1 "" "getparam('Nosuch')"
edit "setdataparam" 0 "$list"'
  {"name": "D", "value": "1"},
  {"name": "E", "value": "3", "help": "A parameter created by setparam()", "flags": 3}
]}' "setdataparam('D', 1); setparam('E', 2); setdataparam('E', 3)"
edit "output types" 0 '{"name": "blank", "outputTypes": {"n": "Halvorn.data.IntegerValue", "f": "Halvorn.data.BitFingerprintValue", "x": "My.Own.Tag"}, "parameters": [
  {"name": "List", "value": ["a", "b"]},
  {"name": "R", "value": "Halvorn.data.IntegerValue", "help": "A parameter created by setparam()", "flags": 3}
]}' "setoutputtype('n', 'INT'); setoutputtype('f', 'BitFingerprint'); setoutputtype('x', 'My.Own.Tag'); setparam('R', getoutputtype('N'))"
edit "rule functions refuse outside rules" 1 "" "setinvaliddetails('x')"
expect_stderr "rule functions refuse outside rules" "SetInvalidDetails may only be called from within any of a parameter's validation scripts"
edit "syntax error" 2 "" "setparam('A', "
expect_error "components only" 1 "Cannot coerce data record to a component" "$strand" eval -e "getnumparams()"

# A packed component stays packed, in its stream version.
expect "edit packed" 0 "" "$strand" params edit shop1.sscp -e "setparamflag('Limit', 2, true)" -o edited.sscp
expect "edited is packed" 0 "SSCP" head -c 4 edited.sscp
expect "edited in version 1" 0 "" cmp -n 5 shop1.sscp edited.sscp
expect "edited content" 0 '{"name": "shop", "outputTypes": {"total": "Halvorn.data.DoubleValue"}, "parameters": [
  {"name": "Title", "value": "café €", "help": "The title", "flags": 1},
  {"name": "Level", "value": ["low", "high"], "legalValues": ["low", "mid", "high"], "enforced": false},
  {"name": "Limit", "value": "5", "type": "LongType", "flags": 2, "validation": "parameter() < 10"},
  {"name": "Settings", "value": "", "type": "GroupType", "members": ["Level", "Limit"], "expanded": true}
]}' "$strand" params unpack edited.sscp
echo "setparam('Title', 'from a file')" > edit.ss
expect "edit with a script file" 0 "" "$strand" params edit shop.json edit.ss -o edited.json
expect "edited JSON" 0 '  {"name": "Title", "value": "from a file", "help": "The title", "flags": 1},' sed -n 2p edited.json

finish "params streams"
