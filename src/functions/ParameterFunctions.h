#pragma once
// The parameter built-ins of this family: the rule functions through which a parameter's validation,
// enabling and legal-values scripts report (setlegalvalues, setdisableddetails, setinvaliddetails),
// and the reading of a component's parameters (parameter, parametername).

#include "functions/FunctionFactory.h"

xrRefCount<xrValueExprImp> makeSetLegalValues(int32_t line, xrExpressionVariableFactory& variables,
                                              const strand::Ptr<xrBasicExpressionListImp>& arguments);
xrRefCount<xrValueExprImp> makeSetDisabledDetails(int32_t line, xrExpressionVariableFactory& variables,
                                                  const strand::Ptr<xrBasicExpressionListImp>& arguments);
xrRefCount<xrValueExprImp> makeSetInvalidDetails(int32_t line, xrExpressionVariableFactory& variables,
                                                 const strand::Ptr<xrBasicExpressionListImp>& arguments);
xrRefCount<xrValueExprImp> makeParameter(int32_t line, xrExpressionVariableFactory& variables,
                                         const strand::Ptr<xrBasicExpressionListImp>& arguments);
xrRefCount<xrValueExprImp> makeParameterName(int32_t line, xrExpressionVariableFactory& variables,
                                             const strand::Ptr<xrBasicExpressionListImp>& arguments);
