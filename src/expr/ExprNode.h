#pragma once
// The expression node model. Every node of a parsed script, built-in function calls included, is an
// xrValueExprImp: it can be asked for its result as text, boolean, number or host value, or evaluated
// for its effects, and it answers type questions that operators use to choose how they compare and
// combine. The typed bases implement every form from the native one of their kind:
//   xrNumericExprImp  native AsDouble      xrBooleanExprImp  native AsBool
//   xrStringExprImp   native AsString      xrVoidExprImp     native Evaluate (no value)
//   xrPropertyExprImp native AsValue (whatever a variable holds)
// Text and value results are written into holders the node owns and returned by reference: they stay
// valid until the same node is evaluated again. A tree serves one evaluation at a time.

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "expr/Exceptions.h"
#include "expr/RefCount.h"
#include "host/ArrayValues.h"
#include "host/Context.h"
#include "host/Format.h"
#include "host/Value.h"

class xrExpressionVariableInterface;
using xrVariableRef = xrRefCount<xrExpressionVariableInterface>;

class xrValueExprImp : public xrCounted {
  public:
    explicit xrValueExprImp(int32_t line) noexcept : m_line(line) {}
    ~xrValueExprImp() override = default;

    virtual bool IsString() const { return false; }
    // True for nodes that name a property: they can be assigned to and tested with IS DEFINED.
    virtual bool IsProperty() const { return false; }
    virtual bool IsBool() const { return false; }
    virtual bool IsDouble() const { return false; }
    virtual bool IsValue() const { return true; }

    // Raises when the node, used as a statement, would have no effect.
    virtual void DoesSomethingCheck() const;
    // Drops the per-run caches of the node and its children (LIKE patterns, UNIQUE sets, ...); the
    // node's own, when it has any, in an override that calls this one.
    virtual void Reset() {
        for (xrValueExprImp* child : m_children)
            child->Reset();
    }
    // A calculated property is calculated afresh below this node on the next evaluation.
    virtual void ResetCalculated() {
        for (xrValueExprImp* child : m_children)
            child->ResetCalculated();
    }
    // The variable a node names, or null. The node keeps it: it stays valid while the tree lives.
    virtual xrExpressionVariableInterface* GetVariable(strand::ExpressionContext& ctx);

    virtual const strand::String& AsString(strand::ExpressionContext& ctx) = 0;
    virtual bool AsBool(strand::ExpressionContext& ctx) = 0;
    virtual double AsDouble(strand::ExpressionContext& ctx) = 0;
    virtual const strand::Value& AsValue(strand::ExpressionContext& ctx) = 0;
    virtual void Evaluate(strand::ExpressionContext& ctx) = 0;

    int32_t GetLineNum() const noexcept { return m_line; }
    // How deep the tree below this node goes (1 for a leaf); the parser refuses trees too deep to walk.
    int32_t GetDepth() const noexcept { return m_depth; }
    void SetDepth(int32_t depth) noexcept { m_depth = depth; }

    // Raises, naming the operation ("'.'", "format"), when a text it builds would grow to `length`
    // code units, past strand::kMaxTextLength; a large text also counts against the run's time limit.
    void checkTextLength(strand::ExpressionContext& ctx, size_t length, const char16_t* operation) const {
        checkTextLength(length, operation);
        ctx.noteText(length, m_line);
    }
    void checkTextLength(size_t length, const char16_t* operation) const {
        if (length > strand::kMaxTextLength) [[unlikely]]
            throwTextTooLong(operation);
    }
    [[noreturn]] void throwTextTooLong(const char16_t* operation) const;

    // The message of a script error: "line N, " and the formatted text.
    template <typename... A>
    strand::Exception error(const char16_t* format, const A&... args) const {
        return strand::Exception(strand::formatString(u"line %d, ", m_line) +
                                 strand::formatString(std::u16string_view(format), args...).view());
    }

  protected:
    // The operand nodes, in order (the node holds them itself): Reset and ResetCalculated reach them,
    // and the node's depth is one more than theirs.
    void setChildren(std::initializer_list<xrValueExprImp*> children);
    void addChild(xrValueExprImp* child);

  private:
    int32_t m_line;
    int32_t m_depth = 1;
    std::vector<xrValueExprImp*> m_children;
};

using xrNodeRef = xrRefCount<xrValueExprImp>;

// Statements without a value: loops, BREAK, the void built-ins.
class xrVoidExprImp : public xrValueExprImp {
  public:
    using xrValueExprImp::xrValueExprImp;
    bool IsValue() const override { return false; }
    const strand::String& AsString(strand::ExpressionContext& ctx) override;
    bool AsBool(strand::ExpressionContext& ctx) override;
    double AsDouble(strand::ExpressionContext& ctx) override;
    const strand::Value& AsValue(strand::ExpressionContext& ctx) override;
};

class xrNumericExprImp : public xrValueExprImp {
  public:
    using xrValueExprImp::xrValueExprImp;
    bool IsDouble() const override { return true; }
    bool IsValue() const override { return false; }
    // True unless the number is exactly 0 (a NaN is true).
    bool AsBool(strand::ExpressionContext& ctx) override { return AsDouble(ctx) != 0.0; }
    // The number as the host's double value prints it.
    const strand::String& AsString(strand::ExpressionContext& ctx) override;
    const strand::Value& AsValue(strand::ExpressionContext& ctx) override {
        m_holder.set(AsDouble(ctx));
        return m_holder;
    }
    void Evaluate(strand::ExpressionContext& ctx) override { AsDouble(ctx); }

  protected:
    strand::DoubleValue m_holder;
    strand::String m_text;
};

class xrBooleanExprImp : public xrValueExprImp {
  public:
    using xrValueExprImp::xrValueExprImp;
    bool IsBool() const override { return true; }
    bool IsValue() const override { return false; }
    double AsDouble(strand::ExpressionContext& ctx) override { return AsBool(ctx) ? 1.0 : 0.0; }
    // "true" or "false".
    const strand::String& AsString(strand::ExpressionContext& ctx) override;
    const strand::Value& AsValue(strand::ExpressionContext& ctx) override {
        m_holder.set(AsBool(ctx));
        return m_holder;
    }
    void Evaluate(strand::ExpressionContext& ctx) override { AsBool(ctx); }

  protected:
    strand::BooleanValue m_holder;
};

class xrStringExprImp : public xrValueExprImp {
  public:
    using xrValueExprImp::xrValueExprImp;
    bool IsString() const override { return true; }
    bool IsValue() const override { return false; }
    // True only for "true" (A to Z folded), "1" and "1.".
    bool AsBool(strand::ExpressionContext& ctx) override {
        return strand::StringValue::textToBool(AsString(ctx));
    }
    double AsDouble(strand::ExpressionContext& ctx) override;
    const strand::Value& AsValue(strand::ExpressionContext& ctx) override {
        const strand::String& text = AsString(ctx);
        if (&text != &m_value.get())
            m_value.set(text);
        return m_value;
    }
    void Evaluate(strand::ExpressionContext& ctx) override { AsString(ctx); }

    strand::String& GetString() noexcept { return m_value.get(); }
    strand::StringValue& GetStringValue() noexcept { return m_value; }

  protected:
    strand::StringValue m_value;
};

// Nodes whose value is whatever a variable holds.
class xrPropertyExprImp : public xrValueExprImp {
  public:
    using xrValueExprImp::xrValueExprImp;
};
