#pragma once
// The sub-protocol built-in (ProtocolFunctions.cpp): runprotocol runs another protocol through the
// host's runner, with named inputs, and answers its outputs.

#include <type_traits>

#include "functions/FunctionFactory.h"

namespace strand::protocols {

using xrFunctionFactoryType = std::remove_pointer_t<xrFunctionFactoryFn>;

xrFunctionFactoryType makeRunProtocol;  // runprotocol

}  // namespace strand::protocols
