#pragma once
// xrFunctionFactory: the registry of built-in functions. Every name a script can call is known here
// with its least and greatest number of arguments (-1: no upper bound), an id given in registration
// order, and the factory that builds the function's node. Names are looked up ignoring the case of
// the letters A to Z only. The whole table is registered on first use of the registry, from one
// ordered table (FunctionTable.cpp), so ids never depend on link order; afterwards the registry is
// only read, and lookups take no lock.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/Object.h"
#include "host/String.h"

template <typename T>
class xrRefCount;
class xrValueExprImp;
class xrExpressionVariableFactory;
class xrBasicExpressionListImp;

// Builds the node of one call from the call's line, the variable factory of the parse and the
// argument expressions in call order.
using xrFunctionFactoryFn =
    xrRefCount<xrValueExprImp> (*)(int32_t line, xrExpressionVariableFactory& variables,
                                   const strand::Ptr<xrBasicExpressionListImp>& arguments);

class xrFunctionFactory {
  public:
    struct Entry {
        strand::String name;  // as registered
        int32_t minArgs = 0;
        int32_t maxArgs = 0;  // -1: no upper bound
        int32_t id = 0;
        xrFunctionFactoryFn factory = nullptr;  // null: declared, not implemented
        const char* family = "";
    };

    // Registers a function; the result is its id. A new name takes the next id (the first is 1);
    // a name already known keeps its id and takes the new bounds and factory.
    static int32_t RegisterFunction(const strand::String& name, int32_t minArgs, int32_t maxArgs,
                                    xrFunctionFactoryFn factory);
    // The same without a factory: the name is known with its bounds, but calling it is an error.
    static int32_t DeclareFunction(const strand::String& name, int32_t minArgs, int32_t maxArgs);
    // The bounds of a known name; false (outputs untouched) for an unknown one.
    static bool GetNumArguments(const strand::String& name, int32_t& minArgs, int32_t& maxArgs);
    // The entry of a name, or null.
    static const Entry* Find(const strand::String& name);
    // The one argument-count rule, for the registry, the checking parser and the function listing: the
    // message for a call of `name` on `line` with `count` arguments, or nothing when the count fits.
    static std::optional<strand::String> ArgumentCountMessage(const strand::String& name, int32_t minArgs,
                                                              int32_t maxArgs, int32_t count, int32_t line);
    // The bounds as the messages phrase them: "2", "0 to 1", "1 or more".
    static std::string DescribeBounds(int32_t minArgs, int32_t maxArgs);
    // Every entry in id order.
    static std::vector<Entry> AllFunctions();

    // The node of one call, after these checks in order: the name is known; the number of arguments
    // fits the bounds; the function has a factory. Each failure raises strand::Exception with the
    // line of the call and the name as written.
    static xrRefCount<xrValueExprImp> GetFunctionByName(
        const strand::String& name, int32_t line, xrExpressionVariableFactory& variables,
        const strand::Ptr<xrBasicExpressionListImp>& arguments);
};

namespace strand::detail {
// Walks the ordered table of built-in functions into the registry (FunctionTable.cpp).
void registerBuiltinFunctions();
// Registers one row while the table is being walked.
void registerBuiltin(const char16_t* name, int32_t minArgs, int32_t maxArgs, xrFunctionFactoryFn factory,
                     const char* family);
}  // namespace strand::detail
