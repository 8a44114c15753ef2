#pragma once
// The bitset and binary-integer built-ins (BitsetFunctions.cpp): the factory of each, in registration
// order.

#include <type_traits>

#include "functions/FunctionFactory.h"

namespace strand::bitsets {

using xrFunctionFactoryType = std::remove_pointer_t<xrFunctionFactoryFn>;

xrFunctionFactoryType makeBinaryAnd;      // binaryand
xrFunctionFactoryType makeBinaryOr;       // binaryor
xrFunctionFactoryType makeBinaryXor;      // binaryxor
xrFunctionFactoryType makeBinaryNot;      // binarynot
xrFunctionFactoryType makeBitsetAnd;      // bitsetand
xrFunctionFactoryType makeBitsetCreate;   // bitsetcreate
xrFunctionFactoryType makeBitsetOr;       // bitsetor
xrFunctionFactoryType makeBitsetAndNot;   // bitsetandnot
xrFunctionFactoryType makeBitsetCount;    // bitsetcount
xrFunctionFactoryType makeBitsetSize;     // bitsetsize
xrFunctionFactoryType makeBitsetResize;   // bitsetresize
xrFunctionFactoryType makeBitsetClear;    // bitsetclear
xrFunctionFactoryType makeBitsetOn;       // bitseton
xrFunctionFactoryType makeBitsetOff;      // bitsetoff
xrFunctionFactoryType makeBitsetFlipAll;  // bitsetflipall
xrFunctionFactoryType makeBitsetTest;     // bitsettest
xrFunctionFactoryType makeBitsetNext;     // bitsetnext

}  // namespace strand::bitsets
