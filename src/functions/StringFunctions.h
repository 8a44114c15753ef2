#pragma once
// The string built-ins (StringFunctions.cpp): cutting, searching, replacing, case mapping and trimming
// texts, `format`, editing a property's text in place, sorting a property's values and the regular
// expressions. The factory of each, in registration order.

#include <string_view>
#include <type_traits>

#include "functions/FunctionFactory.h"
#include "host/String.h"

namespace strand::strings {

using xrFunctionFactoryType = std::remove_pointer_t<xrFunctionFactoryFn>;

xrFunctionFactoryType makeSubstring;          // substring
xrFunctionFactoryType makeFormat;             // format
xrFunctionFactoryType makeStringLength;       // stringlen, strlength
xrFunctionFactoryType makeFindSubstring;      // findsubstring
xrFunctionFactoryType makeFindLastSubstring;  // findlastsubstring
xrFunctionFactoryType makeStrReplace;         // strreplace
xrFunctionFactoryType makeStrErase;           // strerase
xrFunctionFactoryType makeStrInsert;          // strinsert
xrFunctionFactoryType makeStrOverwrite;       // stroverwrite
xrFunctionFactoryType makeToUpper;            // toupper
xrFunctionFactoryType makeToLower;            // tolower
xrFunctionFactoryType makeTrim;               // trim
xrFunctionFactoryType makeNumberSort;         // numbersort
xrFunctionFactoryType makeSort;               // sort
xrFunctionFactoryType makeRemoveDuplicates;   // removeduplicates
xrFunctionFactoryType makeRMatch;             // rmatch
xrFunctionFactoryType makeRSplit;             // rsplit
xrFunctionFactoryType makeRSubst;             // rsubst

// trim's flags: strip leading white space, strip trailing white space, collapse internal runs.
enum TrimFlags : unsigned { TrimLeading = 1, TrimTrailing = 2, TrimInternal = 4 };
// The trimmed text into `out` (replaced). White space is the blank, CR, LF, tab and no-break space.
void trimText(std::u16string_view text, unsigned flags, String& out);

}  // namespace strand::strings
