#include "expr/ComparisonNodes.h"

#include <cmath>

#include "expr/Variables.h"

using strand::ExpressionContext;
using strand::String;

namespace {

// Characters that have a meaning in a regular expression.
constexpr std::u16string_view kSpecials = u"\\.*?+^$()[]{}|";

bool hasSpecials(std::u16string_view text) {
    return text.find_first_of(kSpecials) != std::u16string_view::npos;
}

char16_t upper(char16_t c, bool exactCase) {
    return exactCase ? c : strand::upperAsciiCase(c);
}

// Text equality as the comparisons define it: two empty texts are equal, an empty and a non-empty one
// are not, otherwise exactly or folding A to Z.
bool textsEqual(std::u16string_view a, std::u16string_view b, bool exactCase) {
    if (a.empty() || b.empty())
        return a.empty() == b.empty();
    return exactCase ? a == b : String::equalFolded(a, b);
}

bool containsText(std::u16string_view haystack, std::u16string_view needle, bool exactCase) {
    if (exactCase)
        return haystack.find(needle) != std::u16string_view::npos;
    if (needle.size() > haystack.size())
        return false;
    for (size_t i = 0; i + needle.size() <= haystack.size(); ++i) {
        if (String::equalFolded(haystack.substr(i, needle.size()), needle))
            return true;
    }
    return false;
}

}  // namespace

xrBinaryBooleanExprImp::xrBinaryBooleanExprImp(int32_t line, xrNodeRef left, xrNodeRef right)
    : xrBooleanExprImp(line), m_left(std::move(left)), m_right(std::move(right)) {
    setChildren({m_left.get(), m_right.get()});
}

xrEqualsExprImp::xrEqualsExprImp(int32_t line, xrNodeRef left, xrNodeRef right)
    : xrBinaryBooleanExprImp(line, std::move(left), std::move(right)) {
    const bool leftText = m_left->IsString() || m_left->IsProperty();
    const bool rightText = m_right->IsString() || m_right->IsProperty();
    if (leftText && rightText) {
        m_method = Method::Text;
    } else if (m_left->IsBool() || m_right->IsBool()) {
        m_method = Method::Boolean;
    } else {
        m_method = Method::Number;
    }
}

bool xrEqualsExprImp::AsBool(ExpressionContext& ctx) {
    switch (m_method) {
        case Method::Text:
            m_leftText.assign(m_left->AsString(ctx).view());
            return textsEqual(m_leftText.view(), m_right->AsString(ctx).view(), false);
        case Method::Boolean: {
            const bool l = m_left->AsBool(ctx);
            return l == m_right->AsBool(ctx);
        }
        case Method::Number: {
            const double l = m_left->AsDouble(ctx);
            return l == m_right->AsDouble(ctx);
        }
    }
    return false;
}

void xrEqualsExprImp::DoesSomethingCheck() const {
    throw error(
        u"Equality test (=) found instead of assignment (:=).Statement doesn't appear to do anything.");
}

void xrNumericEqualsExprImp::DoesSomethingCheck() const {
    throw error(
        u"Numeric equality test (==/!==) found instead of an assignment (:=).Statement doesn't appear to do "
        u"anything.");
}

bool xrStringEqExprImp::AsBool(ExpressionContext& ctx) {
    m_leftText.assign(m_left->AsString(ctx).view());
    return textsEqual(m_leftText.view(), m_right->AsString(ctx).view(), m_exactCase);
}

bool xrStringOrderExprImp::AsBool(ExpressionContext& ctx) {
    m_leftText.assign(m_left->AsString(ctx).view());
    const std::u16string_view a = m_leftText.view(), b = m_right->AsString(ctx).view();
    int order = 0;
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n && order == 0; ++i) {
        const char16_t x = upper(a[i], m_exactCase), y = upper(b[i], m_exactCase);
        if (x != y)
            order = x < y ? -1 : 1;
    }
    if (order == 0 && a.size() != b.size())
        order = a.size() < b.size() ? -1 : 1;
    switch (m_test) {
        case Test::Greater:
            return order > 0;
        case Test::GreaterEqual:
            return order >= 0;
        case Test::Less:
            return order < 0;
        case Test::LessEqual:
            return order <= 0;
    }
    return false;
}

xrNotExprImp::xrNotExprImp(int32_t line, xrNodeRef operand)
    : xrBooleanExprImp(line), m_operand(std::move(operand)) {
    setChildren({m_operand.get()});
}

xrLikeExprImp::xrLikeExprImp(int32_t line, xrNodeRef subject, xrNodeRef pattern, bool exactCase, bool raw)
    : xrBooleanExprImp(line),
      m_subject(std::move(subject)),
      m_pattern(std::move(pattern)),
      m_exactCase(exactCase),
      m_raw(raw) {
    setChildren({m_subject.get(), m_pattern.get()});
}

String xrLikeExprImp::translate(const String& pattern) {
    const std::u16string_view p = pattern.view();
    String out(String::View{});
    size_t begin = 0, end = p.size();
    if (!p.empty() && p.front() == u'%') {
        begin = 1;
    } else {
        out.append(u'^');
    }
    // A trailing % is dropped unless it is the leading one, already gone.
    const bool trailingPercent = !p.empty() && p.back() == u'%';
    if (trailingPercent && end - 1 >= begin)
        end -= 1;
    for (size_t i = begin; i < end; ++i) {
        const char16_t c = p[i];
        if (c == u'%') {
            out.append(u".*");
        } else if (c == u'_') {
            out.append(u'.');
        } else if (c == u'[') {
            size_t close = p.find(u']', i + 1);
            if (close == std::u16string_view::npos)
                close = p.size() - 1;
            out.append(p.substr(i, close - i + 1));
            i = close;
        } else {
            if (kSpecials.find(c) != std::u16string_view::npos)
                out.append(u'\\');
            out.append(c);
        }
    }
    if (!trailingPercent)
        out.append(u'$');
    return out;
}

void xrLikeExprImp::prepare(const String& pattern) {
    const String t =
        m_raw || pattern.isEmpty() ? (pattern.isNull() ? String::empty() : pattern) : translate(pattern);
    const std::u16string_view v = t.view();
    if (v.size() > 2 && v.front() == u'^' && v.back() == u'$' && !hasSpecials(v.substr(1, v.size() - 2))) {
        m_method = Method::Equal;
        m_inner = String(v.substr(1, v.size() - 2));
    } else if (!v.empty() && !hasSpecials(v)) {
        m_method = Method::Contains;
        m_inner = t;
    } else {
        try {
            // Without CASE the match folds ASCII letters only: the engine works on code units.
            m_regex.SetExpression(t, m_exactCase ? strand::xrRegex::DotAll
                                                 : strand::xrRegex::DotAll | strand::xrRegex::IgnoreCase);
        } catch (const strand::Exception& e) {
            throw error(u"Error parsing expression in the LIKE clause: %ls", e.getErrorMessageBlock());
        }
        m_method = Method::Regex;
    }
    // Remembered only once prepared: a pattern that failed fails again, with its own error.
    m_lastPattern = pattern;
}

bool xrLikeExprImp::AsBool(ExpressionContext& ctx) {
    const String& pattern = m_pattern->AsString(ctx);
    if (!m_lastPattern || m_lastPattern->view() != pattern.view())
        prepare(pattern);
    const std::u16string_view subject = m_subject->AsString(ctx).view();
    switch (m_method) {
        case Method::Equal:
            return m_exactCase ? subject == m_inner.view() : String::equalFolded(subject, m_inner.view());
        case Method::Contains:
            return containsText(subject, m_inner.view(), m_exactCase);
        case Method::Regex:
            try {
                return m_regex.IsMatch(subject);
            } catch (const strand::Exception& e) {
                // A match past the regex limits fails at the line of the comparison, as the regex
                // built-ins do.
                throw error(u"%ls", e.getErrorMessageBlock());
            }
    }
    return false;
}

void xrLikeExprImp::Reset() {
    xrBooleanExprImp::Reset();
    m_lastPattern.reset();
}

xrBetweenExprImp::xrBetweenExprImp(int32_t line, xrNodeRef value, xrNodeRef first, xrNodeRef second)
    : xrBooleanExprImp(line),
      m_value(std::move(value)),
      m_first(std::move(first)),
      m_second(std::move(second)) {
    setChildren({m_value.get(), m_first.get(), m_second.get()});
}

bool xrBetweenExprImp::AsBool(ExpressionContext& ctx) {
    const double v = m_value->AsDouble(ctx);
    const double a = m_first->AsDouble(ctx);
    const double b = m_second->AsDouble(ctx);
    // The bounds may come in either order; both ends count; a NaN anywhere gives false.
    if (a < b)
        return a <= v && v <= b;
    return b <= v && v <= a;
}

xrUniqueExprImp::xrUniqueExprImp(int32_t line, xrNodeRef operand)
    : xrBooleanExprImp(line), m_operand(std::move(operand)) {
    setChildren({m_operand.get()});
}

bool xrUniqueExprImp::AsBool(ExpressionContext& ctx) {
    const String& text = m_operand->AsString(ctx);
    if (text.isNull())
        return false;
    return insert(text);
}

void xrUniqueExprImp::Reset() {
    xrBooleanExprImp::Reset();
    m_seen.clear();
}

void xrUniqueNoCaseExprImp::Reset() {
    xrUniqueExprImp::Reset();
    m_seenFolded.clear();
}

xrIsDefinedExprImp::xrIsDefinedExprImp(int32_t line, xrNodeRef operand)
    : xrBooleanExprImp(line), m_operand(std::move(operand)) {
    setChildren({m_operand.get()});
}

bool xrIsDefinedExprImp::AsBool(ExpressionContext& ctx) {
    xrExpressionVariableInterface* variable = m_operand->GetVariable(ctx);
    if (!variable)
        throw error(u"A property name must be on the left side of IS DEFINED.");
    return variable->IsDefined(ctx);
}
