# Run with -DFILES="a|b": gives the generated lexers' character sets a type that reads the tool's
# bit words in place. The stock set copies its words bit by bit into a vector<bool> when the program
# starts, and a 16-bit lexer has sets of 131,072 bits and more: tens of millions of instructions at
# every start before any script is read.
string(REPLACE "|" ";" FILES "${FILES}")
foreach(file ${FILES})
    file(READ ${file} text)
    string(REPLACE "ANTLR_USE_NAMESPACE(antlr)BitSet" "xrStaticBitSet" text "${text}")
    file(WRITE ${file} "${text}")
endforeach()
