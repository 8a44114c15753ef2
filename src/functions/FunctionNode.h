#pragma once
// xrFunctionExprImp: the shared base of every built-in function node. `Base` is the node kind of the
// function's result (xrStringExprImp, xrNumericExprImp, xrBooleanExprImp, xrVoidExprImp, or
// xrValueResultExprImp for a host value of another class). The base keeps the call's argument
// expressions in call order, takes its depth from them, forwards Reset to them in argument order and
// offers the argument readings built-ins share, so that a built-in is the code of its function alone:
//
//   // strlength(text)
//   class xrStrLengthExprImp final : public xrFunctionExprImp<xrNumericExprImp> {
//     public:
//       using xrFunctionExprImp::xrFunctionExprImp;
//       double AsDouble(strand::ExpressionContext& ctx) override { return double(textArg(ctx, 0).length()); }
//   };
//
// and its factory is makeNode<xrStrLengthExprImp>. Arguments are evaluated every time the node is
// asked, in argument order; nothing is cached between evaluations.
//
// Used alone as a statement, a void function does its work and passes the statement check; any other
// fails the check with the default text unless it overrides DoesSomethingCheck (with its family's text,
// or with nothing for the few whose value may go unused).

#include <algorithm>
#include <type_traits>
#include <vector>

#include "expr/ExprNode.h"
#include "expr/ExpressionList.h"
#include "expr/Variables.h"
#include "host/Format.h"

using xrArguments = strand::Ptr<xrBasicExpressionListImp>;

// The node kind of built-ins whose result is a host value of another class (a date, bytes, a bitset):
// AsValue is theirs to give; the text, number and boolean forms are read from that value.
class xrValueResultExprImp : public xrValueExprImp {
  public:
    using xrValueExprImp::xrValueExprImp;
    const strand::String& AsString(strand::ExpressionContext& ctx) override {
        AsValue(ctx).getText(m_resultText);
        return m_resultText;
    }
    double AsDouble(strand::ExpressionContext& ctx) override { return AsValue(ctx).getDouble(); }
    bool AsBool(strand::ExpressionContext& ctx) override { return AsValue(ctx).getBool(); }
    void Evaluate(strand::ExpressionContext& ctx) override { AsValue(ctx); }

  private:
    strand::String m_resultText;
};

template <typename Base>
class xrFunctionExprImp : public Base {
    static_assert(std::is_base_of_v<xrValueExprImp, Base>);

  public:
    xrFunctionExprImp(int32_t line, const xrArguments& arguments) : Base(line) {
        m_args.reserve(arguments->Size());
        for (uint32_t i = 0; i < arguments->Size(); ++i) {
            m_args.push_back(arguments->Element(i));
            this->addChild(m_args.back().get());
        }
    }

    void DoesSomethingCheck() const override {
        if constexpr (!std::is_base_of_v<xrVoidExprImp, Base>)
            Base::DoesSomethingCheck();
    }
    // Calculated properties belong to the variables; a call has none of its own.
    void ResetCalculated() override {}

  protected:
    size_t argCount() const noexcept { return m_args.size(); }
    bool hasArg(size_t i) const noexcept { return i < m_args.size(); }
    xrValueExprImp& arg(size_t i) const noexcept { return *m_args[i]; }
    const std::vector<xrNodeRef>& args() const noexcept { return m_args; }

    // The readings of one argument through its own conversion.
    double numberArg(strand::ExpressionContext& ctx, size_t i) const { return arg(i).AsDouble(ctx); }
    bool boolArg(strand::ExpressionContext& ctx, size_t i) const { return arg(i).AsBool(ctx); }
    const strand::String& textArg(strand::ExpressionContext& ctx, size_t i) const {
        return arg(i).AsString(ctx);
    }
    const strand::Value& valueArg(strand::ExpressionContext& ctx, size_t i) const {
        return arg(i).AsValue(ctx);
    }
    // The number truncated toward zero to 32 bits (NaN, infinities and numbers out of range give
    // -2147483648).
    int32_t intArg(strand::ExpressionContext& ctx, size_t i) const {
        return strand::truncToInt32(arg(i).AsDouble(ctx));
    }
    // A 1-based script position as a 0-based offset, in 64 bits so that no sum near the ends of the
    // 32-bit range overflows.
    int64_t offsetArg(strand::ExpressionContext& ctx, size_t i) const { return int64_t(intArg(ctx, i)) - 1; }

    // Optional arguments: the reading when the call gave the argument, else the default.
    double numberArgOr(strand::ExpressionContext& ctx, size_t i, double fallback) const {
        return hasArg(i) ? numberArg(ctx, i) : fallback;
    }
    int32_t intArgOr(strand::ExpressionContext& ctx, size_t i, int32_t fallback) const {
        return hasArg(i) ? intArg(ctx, i) : fallback;
    }
    bool boolArgOr(strand::ExpressionContext& ctx, size_t i, bool fallback) const {
        return hasArg(i) ? boolArg(ctx, i) : fallback;
    }

    // The variable of a property-reference argument (a name, @name, #name or x[i]); raises `message`
    // (after the "line N, " of the call) when the argument names no property.
    xrExpressionVariableInterface* variableArg(strand::ExpressionContext& ctx, size_t i,
                                               const char16_t* message) const {
        if (xrExpressionVariableInterface* variable = arg(i).GetVariable(ctx))
            return variable;
        throw this->error(message);
    }

    // Runs an operation of a host value, codec or pattern (never an argument's evaluation, whose errors
    // are its own), giving its failure the line of the call.
    template <typename F>
    decltype(auto) atCallLine(F&& operation) const {
        try {
            return operation();
        } catch (const strand::Exception& e) {
            throw this->error(u"%ls", e.getErrorMessageBlock());
        }
    }

  private:
    std::vector<xrNodeRef> m_args;
};

// The factory of a built-in node: a node class constructed from (line, arguments), or from (line,
// variables, arguments) when it makes variables of its own while the script is parsed.
template <typename T>
xrNodeRef makeNode(int32_t line, xrExpressionVariableFactory& variables, const xrArguments& arguments) {
    if constexpr (std::is_constructible_v<T, int32_t, xrExpressionVariableFactory&, const xrArguments&>)
        return xrNodeRef(new T(line, variables, arguments));
    else
        return xrNodeRef(new T(line, arguments));
}

// Defines `factory`, the factory of the node class given after it (a class name, template arguments
// allowed), as makeNode builds it: STRAND_BUILTIN_FACTORY(makeStringLength, xrStringLengthExprImp).
#define STRAND_BUILTIN_FACTORY(factory, ...)                                                                \
    xrNodeRef factory(int32_t line, xrExpressionVariableFactory& variables, const xrArguments& arguments) { \
        return makeNode<__VA_ARGS__>(line, variables, arguments);                                           \
    }
