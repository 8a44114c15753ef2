#pragma once
// The hash-table built-ins (HashTableFunctions.cpp): tables from text keys to values in one
// process-wide store, named by small integer identifiers. The factory of each, in registration order.

#include <type_traits>

#include "functions/FunctionFactory.h"

namespace strand::hashes {

using xrFunctionFactoryType = std::remove_pointer_t<xrFunctionFactoryFn>;

xrFunctionFactoryType makeHashCreate;     // hashcreate
xrFunctionFactoryType makeHashDestroy;    // hashdestroy
xrFunctionFactoryType makeHashClear;      // hashclear
xrFunctionFactoryType makeHashAdd;        // hashadd
xrFunctionFactoryType makeHashFind;       // hashfind
xrFunctionFactoryType makeHashContains;   // hashcontains
xrFunctionFactoryType makeHashRemove;     // hashremove
xrFunctionFactoryType makeHashFindIndex;  // hashfindindex
xrFunctionFactoryType makeHashNumValues;  // hashnumvalues
xrFunctionFactoryType makeHashIthKey;     // hashithkey
xrFunctionFactoryType makeHashIthValue;   // hashithvalue

}  // namespace strand::hashes
