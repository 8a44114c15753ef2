#pragma once
// The component-editing built-ins (ComponentFunctions.cpp): scripts that run with a component as their
// data record (a CObjectTransportNode) read and change its parameters, help and output types through
// its strand::iComponentInfo. The factory of each, in registration order.

#include <type_traits>

#include "functions/FunctionFactory.h"

namespace strand::components {

using xrFunctionFactoryType = std::remove_pointer_t<xrFunctionFactoryFn>;

xrFunctionFactoryType makeSetParam;             // setparam
xrFunctionFactoryType makeSetDataParam;         // setdataparam
xrFunctionFactoryType makeSetParamHelp;         // setparamhelp
xrFunctionFactoryType makeGetNumParams;         // getnumparams
xrFunctionFactoryType makeGetComponentName;     // getcomponentname
xrFunctionFactoryType makeGetParam;             // getparam
xrFunctionFactoryType makeGetParamLegalValues;  // getparamlegalvalues
xrFunctionFactoryType makeSetParamLegalValues;  // setparamlegalvalues
xrFunctionFactoryType makeGetParamType;         // getparamtype
xrFunctionFactoryType makeSetParamType;         // setparamtype
xrFunctionFactoryType makeGetParamHelp;         // getparamhelp
xrFunctionFactoryType makeGetParamFlag;         // getparamflag
xrFunctionFactoryType makeSetParamFlag;         // setparamflag
xrFunctionFactoryType makeGetIthParamName;      // getithparamname
xrFunctionFactoryType makeSetHelp;              // sethelp
xrFunctionFactoryType makeGetHelp;              // gethelp
xrFunctionFactoryType makeSetOutputType;        // setoutputtype
xrFunctionFactoryType makeGetOutputType;        // getoutputtype

}  // namespace strand::components
