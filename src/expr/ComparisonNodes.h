#pragma once
// Comparisons and logic. `=` chooses how it compares when it is built, from what its operands are:
// texts when both sides are texts or properties (so two properties compare as texts), booleans when
// either side is one, numbers otherwise. `==` always compares numbers, the keyword operators eq, gt,
// ge, lt, le always texts. Without CASE, text comparisons fold only the letters A to Z. LIKE and RLIKE
// match patterns, keeping what they derived from the last pattern; UNIQUE remembers the texts it saw.

#include <optional>
#include <unordered_set>

#include "expr/ExprNode.h"
#include "host/xrRegex.h"

class xrBinaryBooleanExprImp : public xrBooleanExprImp {
  public:
    xrBinaryBooleanExprImp(int32_t line, xrNodeRef left, xrNodeRef right);

  protected:
    xrNodeRef m_left;
    xrNodeRef m_right;
    strand::String m_leftText;  // the left text, kept while the right operand runs
};

class xrEqualsExprImp final : public xrBinaryBooleanExprImp {
  public:
    enum class Method { Text, Boolean, Number };
    xrEqualsExprImp(int32_t line, xrNodeRef left, xrNodeRef right);
    bool AsBool(strand::ExpressionContext& ctx) override;
    void DoesSomethingCheck() const override;
    Method method() const noexcept { return m_method; }

  private:
    Method m_method;
};

class xrNumericEqualsExprImp final : public xrBinaryBooleanExprImp {
  public:
    using xrBinaryBooleanExprImp::xrBinaryBooleanExprImp;
    bool AsBool(strand::ExpressionContext& ctx) override {
        const double l = m_left->AsDouble(ctx);
        return l == m_right->AsDouble(ctx);
    }
    void DoesSomethingCheck() const override;
};

class xrStringEqExprImp final : public xrBinaryBooleanExprImp {
  public:
    xrStringEqExprImp(int32_t line, xrNodeRef left, xrNodeRef right, bool exactCase)
        : xrBinaryBooleanExprImp(line, std::move(left), std::move(right)), m_exactCase(exactCase) {}
    bool AsBool(strand::ExpressionContext& ctx) override;

  private:
    bool m_exactCase;
};

// gt, ge, lt, le: texts compared code unit by code unit, a to z raised to A to Z without CASE.
class xrStringOrderExprImp : public xrBinaryBooleanExprImp {
  public:
    enum class Test { Greater, GreaterEqual, Less, LessEqual };
    xrStringOrderExprImp(int32_t line, xrNodeRef left, xrNodeRef right, bool exactCase, Test test)
        : xrBinaryBooleanExprImp(line, std::move(left), std::move(right)),
          m_exactCase(exactCase),
          m_test(test) {}
    bool AsBool(strand::ExpressionContext& ctx) override;

  private:
    bool m_exactCase;
    Test m_test;
};

class xrStringGtExprImp final : public xrStringOrderExprImp {
  public:
    xrStringGtExprImp(int32_t line, xrNodeRef l, xrNodeRef r, bool exactCase)
        : xrStringOrderExprImp(line, std::move(l), std::move(r), exactCase, Test::Greater) {}
};
class xrStringGeExprImp final : public xrStringOrderExprImp {
  public:
    xrStringGeExprImp(int32_t line, xrNodeRef l, xrNodeRef r, bool exactCase)
        : xrStringOrderExprImp(line, std::move(l), std::move(r), exactCase, Test::GreaterEqual) {}
};
class xrStringLtExprImp final : public xrStringOrderExprImp {
  public:
    xrStringLtExprImp(int32_t line, xrNodeRef l, xrNodeRef r, bool exactCase)
        : xrStringOrderExprImp(line, std::move(l), std::move(r), exactCase, Test::Less) {}
};
class xrStringLeExprImp final : public xrStringOrderExprImp {
  public:
    xrStringLeExprImp(int32_t line, xrNodeRef l, xrNodeRef r, bool exactCase)
        : xrStringOrderExprImp(line, std::move(l), std::move(r), exactCase, Test::LessEqual) {}
};

// <, >, <=, >=: IEEE comparisons of numbers (false when either is NaN).
template <typename Compare>
class xrNumericOrderExprImp final : public xrBinaryBooleanExprImp {
  public:
    using xrBinaryBooleanExprImp::xrBinaryBooleanExprImp;
    bool AsBool(strand::ExpressionContext& ctx) override {
        const double l = m_left->AsDouble(ctx);
        return Compare{}(l, m_right->AsDouble(ctx));
    }
};
using xrLessExprImp = xrNumericOrderExprImp<std::less<double>>;
using xrGreaterExprImp = xrNumericOrderExprImp<std::greater<double>>;
using xrLessEqualExprImp = xrNumericOrderExprImp<std::less_equal<double>>;
using xrGreaterEqualExprImp = xrNumericOrderExprImp<std::greater_equal<double>>;

class xrAndExprImp final : public xrBinaryBooleanExprImp {
  public:
    using xrBinaryBooleanExprImp::xrBinaryBooleanExprImp;
    bool AsBool(strand::ExpressionContext& ctx) override {
        return m_left->AsBool(ctx) && m_right->AsBool(ctx);
    }
};

class xrOrExprImp final : public xrBinaryBooleanExprImp {
  public:
    using xrBinaryBooleanExprImp::xrBinaryBooleanExprImp;
    bool AsBool(strand::ExpressionContext& ctx) override {
        return m_left->AsBool(ctx) || m_right->AsBool(ctx);
    }
};

class xrNotExprImp final : public xrBooleanExprImp {
  public:
    xrNotExprImp(int32_t line, xrNodeRef operand);
    bool AsBool(strand::ExpressionContext& ctx) override { return !m_operand->AsBool(ctx); }

  private:
    xrNodeRef m_operand;
};

// LIKE translates its pattern (% any run, _ any character, [..] a class) and RLIKE takes it as a
// regular expression. Whole-text equality and containment are done on the texts directly; other
// patterns are compiled once per distinct pattern text.
class xrLikeExprImp final : public xrBooleanExprImp {
  public:
    xrLikeExprImp(int32_t line, xrNodeRef subject, xrNodeRef pattern, bool exactCase, bool raw);
    bool AsBool(strand::ExpressionContext& ctx) override;
    void Reset() override;

    // The regular expression a LIKE pattern stands for.
    static strand::String translate(const strand::String& pattern);

  private:
    enum class Method { Equal, Contains, Regex };
    void prepare(const strand::String& pattern);

    xrNodeRef m_subject;
    xrNodeRef m_pattern;
    bool m_exactCase;
    bool m_raw;
    std::optional<strand::String> m_lastPattern;  // none until a pattern was prepared
    Method m_method = Method::Regex;
    strand::String m_inner;
    strand::xrRegex m_regex;
};

class xrBetweenExprImp final : public xrBooleanExprImp {
  public:
    xrBetweenExprImp(int32_t line, xrNodeRef value, xrNodeRef first, xrNodeRef second);
    bool AsBool(strand::ExpressionContext& ctx) override;

  private:
    xrNodeRef m_value;
    xrNodeRef m_first;
    xrNodeRef m_second;
};

// True the first time a text is seen by this node, across evaluations until Reset.
class xrUniqueExprImp : public xrBooleanExprImp {
  public:
    xrUniqueExprImp(int32_t line, xrNodeRef operand);
    bool AsBool(strand::ExpressionContext& ctx) override;
    void DoesSomethingCheck() const override {}
    void Reset() override;

  protected:
    virtual bool insert(const strand::String& text) { return m_seen.insert(text).second; }
    void clearSeen() { m_seen.clear(); }

  private:
    xrNodeRef m_operand;
    std::unordered_set<strand::String, strand::StringHash> m_seen;
};

class xrUniqueNoCaseExprImp final : public xrUniqueExprImp {
  public:
    using xrUniqueExprImp::xrUniqueExprImp;
    void Reset() override;

  protected:
    bool insert(const strand::String& text) override { return m_seenFolded.insert(text).second; }

  private:
    std::unordered_set<strand::String, strand::StringHashIgnoreCase, strand::StringEqualIgnoreCase>
        m_seenFolded;
};

class xrIsDefinedExprImp final : public xrBooleanExprImp {
  public:
    xrIsDefinedExprImp(int32_t line, xrNodeRef operand);
    bool AsBool(strand::ExpressionContext& ctx) override;

  private:
    xrNodeRef m_operand;
};
