// The string built-ins. Positions are 1-based like every script position, except the start of
// findsubstring, which counts the characters to skip. Case-blind searching folds only A to Z. Every
// node builds its result in a member it reuses, so a call allocates only when its text outgrows the
// last one; the regular-expression nodes compile again only when their pattern, replacement or
// options text changes.

#include "functions/StringFunctions.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <string>
#include <vector>

#include "functions/FormatCall.h"
#include "functions/FormatEngine.h"
#include "functions/FunctionNode.h"
#include "host/xrRegex.h"

using strand::ExpressionContext;
using strand::String;
using strand::Value;

namespace strand::strings {

void trimText(std::u16string_view text, unsigned flags, String& out) {
    auto white = [](char16_t c) { return c == u' ' || c == u'\r' || c == u'\n' || c == u'\t' || c == 0xA0; };
    out.clear();
    std::u16string& s = out.mutableStr();
    size_t i = 0;
    const size_t n = text.size();
    if (flags & TrimLeading)
        while (i < n && white(text[i]))
            ++i;
    bool copiedNonWhite = false;
    size_t lastNonWhiteEnd = 0;
    while (i < n) {
        const char16_t c = text[i];
        if (!white(c)) {
            s.push_back(c);
            copiedNonWhite = true;
            lastNonWhiteEnd = s.size();
            ++i;
            continue;
        }
        if ((flags & TrimInternal) && copiedNonWhite) {
            size_t j = i;
            while (j < n && white(text[j]))
                ++j;
            if (j == n) {
                s.append(text.substr(i));
                break;
            }
            s.push_back(c);
            i = j;
            continue;
        }
        s.push_back(c);
        ++i;
    }
    if ((flags & TrimTrailing) && copiedNonWhite)
        s.resize(lastNonWhiteEnd);
}

}  // namespace strand::strings

namespace {

using strand::strings::trimText;

// The first occurrence of `sought` at or after `from` with A to Z folded, or npos.
size_t findFolded(std::u16string_view text, std::u16string_view sought, size_t from) {
    if (sought.size() > text.size() || from > text.size() - sought.size())
        return std::u16string_view::npos;
    const auto same = [](char16_t a, char16_t b) {
        return strand::foldAsciiCase(a) == strand::foldAsciiCase(b);
    };
    const auto at = std::search(text.begin() + from, text.end(), sought.begin(), sought.end(), same);
    return at == text.end() && !sought.empty() ? std::u16string_view::npos : size_t(at - text.begin());
}

size_t findExact(std::u16string_view text, std::u16string_view sought, size_t from) {
    return text.find(sought, from);
}

// ---- Cutting and measuring -----------------------------------------------------------------------

// substring(text, start [, length])
class xrSubstringExprImp final : public xrFunctionExprImp<xrStringExprImp> {
  public:
    using xrFunctionExprImp::xrFunctionExprImp;
    const String& AsString(ExpressionContext& ctx) override {
        const std::u16string_view text = textArg(ctx, 0).view();
        const int32_t start = intArg(ctx, 1);
        if (start < 1)
            throw error(u"substring: Illegal start position \"%ld\"", long(start));
        const size_t i = size_t(start) - 1;
        int64_t n = int64_t(text.size()) - int64_t(i);
        if (hasArg(2))
            n = std::min<int64_t>(n, intArg(ctx, 2));
        String& result = GetString();
        if (i >= text.size() || n <= 0)
            result.clear();
        else
            result.assign(text.substr(i, size_t(n)));
        return result;
    }
};

// stringlen(text), strlength(text)
class xrStringLengthExprImp final : public xrFunctionExprImp<xrNumericExprImp> {
  public:
    using xrFunctionExprImp::xrFunctionExprImp;
    double AsDouble(ExpressionContext& ctx) override { return double(textArg(ctx, 0).length()); }
};

// format(format, value ...)
class xrFormatExprImp final : public xrFormatCallExprImp {
  public:
    using xrFormatCallExprImp::xrFormatCallExprImp;
    const String& AsString(ExpressionContext& ctx) override {
        formatCall(ctx, GetString());
        return GetString();
    }
};

// ---- Searching -------------------------------------------------------------------------------------

// findsubstring(text, sought [, start [, nocase]])
class xrFindSubstringExprImp final : public xrFunctionExprImp<xrNumericExprImp> {
  public:
    using xrFunctionExprImp::xrFunctionExprImp;
    double AsDouble(ExpressionContext& ctx) override {
        m_text.assign(textArg(ctx, 0).view());
        m_sought.assign(textArg(ctx, 1).view());
        const int32_t start = intArgOr(ctx, 2, 0);
        if (start < 0)
            throw strand::Exception(strand::formatString(
                u"Invalid start location (%ld) value for findsubstring function.  Must be >= zero.",
                long(start)));
        const bool nocase = boolArgOr(ctx, 3, false);
        const size_t from = size_t(start);
        // Exact search needs a start inside the text; the case-blind one may start at its end.
        if (nocase ? from > m_text.length() : from >= m_text.length())
            return 0;
        const size_t at = nocase ? findFolded(m_text.view(), m_sought.view(), from)
                                 : findExact(m_text.view(), m_sought.view(), from);
        return at == std::u16string_view::npos ? 0 : double(at + 1);
    }

  private:
    String m_text, m_sought;
};

// findlastsubstring(text, sought [, nocase])
class xrFindLastSubstringExprImp final : public xrFunctionExprImp<xrNumericExprImp> {
  public:
    using xrFunctionExprImp::xrFunctionExprImp;
    double AsDouble(ExpressionContext& ctx) override {
        m_text.assign(textArg(ctx, 0).view());
        m_sought.assign(textArg(ctx, 1).view());
        const bool nocase = boolArgOr(ctx, 2, false);
        const std::u16string_view text = m_text.view(), sought = m_sought.view();
        const auto find = nocase ? findFolded : findExact;
        // Searching again one character after each occurrence found counts overlapping ones.
        size_t at = find(text, sought, 0);
        if (at == std::u16string_view::npos)
            return 0;
        for (;;) {
            const size_t next = at + 1;
            if (nocase ? next > text.size() : next >= text.size())
                break;
            const size_t again = find(text, sought, next);
            if (again == std::u16string_view::npos)
                break;
            at = again;
        }
        return double(at + 1);
    }

  private:
    String m_text, m_sought;
};

// ---- Replacing and case mapping --------------------------------------------------------------------

// strreplace(text, old, new [, count])
class xrStrReplaceExprImp final : public xrFunctionExprImp<xrStringExprImp> {
  public:
    using xrFunctionExprImp::xrFunctionExprImp;
    const String& AsString(ExpressionContext& ctx) override {
        m_text.assign(textArg(ctx, 0).view());
        m_old.assign(textArg(ctx, 1).view());
        m_new.assign(textArg(ctx, 2).view());
        int32_t count = intArgOr(ctx, 3, -1);
        if (m_old.isEmpty())
            throw error(u"cannot call strreplace() with an empty substring.");
        const std::u16string_view text = m_text.view(), old = m_old.view();
        String& result = GetString();
        result.clear();
        size_t from = 0;
        while (count != 0) {
            const size_t at = text.find(old, from);
            if (at == text.npos)
                break;
            checkTextLength(ctx, result.length() + (at - from) + m_new.length(), u"strreplace");
            result.append(text.substr(from, at - from));
            result.append(m_new.view());
            from = at + old.size();
            if (count > 0)
                --count;
        }
        checkTextLength(ctx, result.length() + text.size() - from, u"strreplace");
        result.append(text.substr(from));
        return result;
    }
    void DoesSomethingCheck() const override {
        throw error(
            u"Statement doesn't appear to do anything. Try assigning the return value of the strreplace "
            u"function. "
            u"E.g.:\n  newname := strreplace(name, '-', '_');");
    }

  private:
    String m_text, m_old, m_new;
};

// toupper(text), tolower(text): only a to z and A to Z change.
template <bool Upper>
class xrCaseExprImp final : public xrFunctionExprImp<xrStringExprImp> {
  public:
    using xrFunctionExprImp<xrStringExprImp>::xrFunctionExprImp;
    const String& AsString(ExpressionContext& ctx) override {
        const std::u16string_view text = textArg(ctx, 0).view();
        String& result = GetString();
        // One pass: the characters are mapped as they are copied.
        result.resize(text.size());
        char16_t* out = result.data();
        for (size_t i = 0; i < text.size(); ++i)
            out[i] = Upper ? strand::upperAsciiCase(text[i]) : strand::foldAsciiCase(text[i]);
        return result;
    }
};

// trim(text [, options])
class xrTrimExprImp final : public xrFunctionExprImp<xrStringExprImp> {
  public:
    using xrFunctionExprImp::xrFunctionExprImp;
    const String& AsString(ExpressionContext& ctx) override {
        m_text.assign(textArg(ctx, 0).view());
        unsigned flags = strand::strings::TrimLeading | strand::strings::TrimTrailing;
        if (hasArg(1)) {
            flags = 0;
            for (char16_t c : textArg(ctx, 1).view())
                flags |= optionFlag(c);
        }
        trimText(m_text.view(), flags, GetString());
        return GetString();
    }

  private:
    static unsigned optionFlag(char16_t c) {
        switch (strand::foldAsciiCase(c)) {
            case u'l':
                return strand::strings::TrimLeading;
            case u'r':
                return strand::strings::TrimTrailing;
            case u'i':
                return strand::strings::TrimInternal;
            default:
                throw strand::Exception(strand::formatString(u"Invalid option to trim() function: %c", c));
        }
    }
    String m_text;
};

// ---- Editing a property's text in place ---------------------------------------------------------

struct xrEditTexts {
    const char16_t* name;
    const char16_t* notAString;
};

constexpr xrEditTexts kStrErase{u"strerase", u"strerase() property did not contain a string."};
constexpr xrEditTexts kStrInsert{u"strinsert", u"strinsert() property did not contain a string."};
constexpr xrEditTexts kStrOverwrite{u"stroverwrite", u"stroverwrite() property did not contain a string."};

// The shared work of the editing functions: the first argument must name a property holding a text
// (or a text array, whose first element is edited). The text is edited in the node's copy and stored
// back through the variable, so a property that may not be assigned keeps its guard, and a text
// argument that reads the same property was read before the edit.
template <const xrEditTexts& Texts>
class xrEditExprImp : public xrFunctionExprImp<xrVoidExprImp> {
  public:
    using xrFunctionExprImp<xrVoidExprImp>::xrFunctionExprImp;

    void Evaluate(ExpressionContext& ctx) override {
        xrExpressionVariableInterface* variable = this->variableArg(ctx, 0, Texts.notAString);
        readArguments(ctx);
        const Value& value = variable->GetValue(ctx);
        if (value.kind() == Value::Kind::String) {
            m_work = static_cast<const strand::StringValue&>(value).get();
            if (edit(m_work))
                variable->SetString(ctx, m_work);
            return;
        }
        const auto* array = dynamic_cast<const strand::StringArrayValue*>(&value);
        if (!array || array->getSize() < 1)
            throw this->error(Texts.notAString);
        m_work = array->get(0);
        if (!edit(m_work))
            return;
        strand::Ptr<Value> copy = array->cloneValue();
        static_cast<strand::StringArrayValue&>(*copy).set(0, m_work);
        variable->SetValue(ctx, *copy);
    }

  protected:
    // Reads the arguments after the property, before the property's text is read.
    virtual void readArguments(ExpressionContext& ctx) = 0;
    // Edits the text; answers whether it changed.
    virtual bool edit(String& text) = 0;

    // A position between 1 and the length plus 1, as a 0-based offset.
    size_t checkedPosition(const String& text) const {
        if (m_position < 1 || int64_t(m_position) > int64_t(text.length()) + 1)
            throw this->error(u"%ls: Illegal position \"%ld\"", Texts.name, long(m_position));
        return size_t(m_position) - 1;
    }

    int32_t m_position = 0;
    String m_work;
    String m_insert;
};

// strerase(property, start [, count])
class xrStrEraseExprImp final : public xrEditExprImp<kStrErase> {
  public:
    using xrEditExprImp::xrEditExprImp;

  private:
    void readArguments(ExpressionContext& ctx) override {
        m_position = intArg(ctx, 1);
        m_count = hasArg(2) ? int64_t(intArg(ctx, 2)) : INT64_MAX;
    }
    bool edit(String& text) override {
        // A start below 1 or past the end, and a count of 0 or less, change nothing.
        if (m_position < 1 || size_t(m_position) > text.length() || m_count <= 0)
            return false;
        const size_t i = size_t(m_position) - 1;
        text.mutableStr().erase(i, size_t(std::min<int64_t>(m_count, int64_t(text.length() - i))));
        return true;
    }
    int64_t m_count = 0;
};

// strinsert(property, position, text)
class xrStrInsertExprImp final : public xrEditExprImp<kStrInsert> {
  public:
    using xrEditExprImp::xrEditExprImp;

  private:
    void readArguments(ExpressionContext& ctx) override {
        m_position = intArg(ctx, 1);
        m_insert.assign(textArg(ctx, 2).view());
    }
    bool edit(String& text) override {
        const size_t i = checkedPosition(text);
        checkTextLength(text.length() + m_insert.length(), u"strinsert");
        text.mutableStr().insert(i, m_insert.view());
        return true;
    }
};

// stroverwrite(property, position, text)
class xrStrOverwriteExprImp final : public xrEditExprImp<kStrOverwrite> {
  public:
    using xrEditExprImp::xrEditExprImp;

  private:
    void readArguments(ExpressionContext& ctx) override {
        m_position = intArg(ctx, 1);
        m_insert.assign(textArg(ctx, 2).view());
    }
    bool edit(String& text) override {
        const size_t i = checkedPosition(text);
        checkTextLength(i + m_insert.length(), u"stroverwrite");
        std::u16string& s = text.mutableStr();
        if (i + m_insert.length() > s.size())
            s.resize(i + m_insert.length());
        std::copy(m_insert.view().begin(), m_insert.view().end(), s.begin() + std::ptrdiff_t(i));
        return true;
    }
};

// ---- Sorting a property's values ---------------------------------------------------------------------

constexpr const char16_t* kNumberSortNotAProperty =
    u"The first parameter to the 'numbersort' function must be a property reference.";
constexpr const char16_t* kSortNotAProperty =
    u"The first parameter to the 'sort' function must be a property reference.";
constexpr const char16_t* kRemoveDuplicatesNotAProperty =
    u"The first parameter to the 'removeduplicates' function must be a property reference.";

// numbersort(property): the values as numbers, ascending, NaN last; the property becomes a number array.
class xrNumberSortExprImp final : public xrFunctionExprImp<xrVoidExprImp> {
  public:
    using xrFunctionExprImp::xrFunctionExprImp;
    void Evaluate(ExpressionContext& ctx) override {
        xrExpressionVariableInterface* variable = variableArg(ctx, 0, kNumberSortNotAProperty);
        const Value& value = variable->GetValue(ctx);
        std::vector<double>& numbers = m_numbers.items();
        numbers.clear();
        if (const strand::ArrayValue* array = value.asArray()) {
            for (int32_t i = 0; i < array->getSize(); ++i)
                numbers.push_back(array->getElementDouble(i));
        } else {
            numbers.push_back(value.getDouble());
        }
        std::sort(numbers.begin(), numbers.end(),
                  [](double a, double b) { return std::isnan(b) ? !std::isnan(a) : a < b; });
        variable->SetValue(ctx, m_numbers);
    }

  private:
    strand::DoubleArrayValue m_numbers;
};

// The elements of an array value, with the order by the host comparison. The merge sort never reads
// outside its range, whatever the comparison answers.
struct xrElements {
    std::vector<strand::Ptr<Value>> values;
    std::vector<int32_t> order;

    void read(const strand::ArrayValue& array) {
        values.clear();
        for (int32_t i = 0; i < array.getSize(); ++i)
            values.push_back(array.getElement(i));
        order.resize(values.size());
        std::iota(order.begin(), order.end(), 0);
        std::stable_sort(order.begin(), order.end(), [this](int32_t a, int32_t b) {
            return values[size_t(a)]->compare(*values[size_t(b)]) < 0;
        });
    }
};

// sort(property): the elements of an array of two or more, ascending by the host comparison.
class xrSortExprImp final : public xrFunctionExprImp<xrVoidExprImp> {
  public:
    using xrFunctionExprImp::xrFunctionExprImp;
    void Evaluate(ExpressionContext& ctx) override {
        xrExpressionVariableInterface* variable = variableArg(ctx, 0, kSortNotAProperty);
        const strand::ArrayValue* array = variable->GetValue(ctx).asArray();
        if (!array || array->getSize() < 2)
            return;
        m_elements.read(*array);
        strand::Ptr<Value> copy = array->cloneValue();
        strand::ArrayValue& sorted = *copy->asArray();
        for (size_t i = 0; i < m_elements.order.size(); ++i)
            if (m_elements.order[i] != int32_t(i))
                sorted.setElement(int32_t(i), *m_elements.values[size_t(m_elements.order[i])]);
        variable->SetValue(ctx, *copy);
    }

  private:
    xrElements m_elements;
};

// removeduplicates(property): of the elements that compare equal, the first stays, in its place. Equal
// elements are found through the sorted order, so a long array costs n log n comparisons.
class xrRemoveDuplicatesExprImp final : public xrFunctionExprImp<xrVoidExprImp> {
  public:
    using xrFunctionExprImp::xrFunctionExprImp;
    void Evaluate(ExpressionContext& ctx) override {
        xrExpressionVariableInterface* variable = variableArg(ctx, 0, kRemoveDuplicatesNotAProperty);
        const strand::ArrayValue* array = variable->GetValue(ctx).asArray();
        if (!array || array->getSize() < 2)
            return;
        m_elements.read(*array);
        const std::vector<int32_t>& order = m_elements.order;
        m_keep.assign(order.size(), true);
        // The sort is stable: the first of a run of equal elements is the earliest in the array.
        for (size_t head = 0, i = 1; i < order.size(); ++i) {
            if (m_elements.values[size_t(order[head])]->compare(*m_elements.values[size_t(order[i])]) == 0)
                m_keep[size_t(order[i])] = false;
            else
                head = i;
        }
        strand::Ptr<Value> copy = array->cloneValue();
        strand::ArrayValue& kept = *copy->asArray();
        int32_t n = 0;
        for (size_t i = 0; i < m_keep.size(); ++i)
            if (m_keep[i])
                kept.setElement(n++, *m_elements.values[i]);
        kept.resize(n);
        variable->SetValue(ctx, *copy);
    }

  private:
    xrElements m_elements;
    std::vector<bool> m_keep;
};

// ---- Regular expressions -----------------------------------------------------------------------------

// The compiled expression of a call, kept with the texts it was compiled from.
class xrRegexHolder {
  public:
    // Compiles only when the pattern, the replacement (substitution only) or the options text changed.
    template <typename Node>
    const strand::xrRegex& get(const Node& node, const String& pattern, const String* replacement,
                               const String& options) {
        if (m_regex.IsCompiled() && pattern == m_pattern && options == m_options &&
            (!replacement || *replacement == m_replacement))
            return m_regex;
        try {
            const int flags = strand::xrRegex::OptionsFromString(options, 0);
            if (replacement)
                m_regex.SetSubstitution(pattern, *replacement, flags);
            else
                m_regex.SetExpression(pattern, flags);
        } catch (const strand::Exception& e) {
            throw node.error(u"Error parsing regular expression: %ls", e.getErrorMessageBlock());
        }
        m_pattern = pattern;
        m_options = options;
        if (replacement)
            m_replacement = *replacement;
        return m_regex;
    }

  private:
    strand::xrRegex m_regex;
    String m_pattern, m_options, m_replacement;
};

enum class xrRegexOp { Match, Split };

// rmatch(text, pattern [, options]): the whole match, then every group.
// rsplit(text, pattern [, options [, limit]]): the fields between the matches.
template <xrRegexOp Op>
class xrRegexArrayExprImp final : public xrFunctionExprImp<xrValueResultExprImp> {
  public:
    using xrFunctionExprImp::xrFunctionExprImp;

    const Value& AsValue(ExpressionContext& ctx) override {
        m_text.assign(textArg(ctx, 0).view());
        m_pattern = textArg(ctx, 1);
        m_optionsText = hasArg(2) ? textArg(ctx, 2) : String::empty();
        int32_t limit = 0;
        if constexpr (Op == xrRegexOp::Split)
            limit = std::max(intArgOr(ctx, 3, 0), 0);
        const strand::xrRegex& regex = m_regex.get(*this, m_pattern, nullptr, m_optionsText);
        atCallLine([&] {
            const strand::xrRegex::Match match = regex.Search(m_text);
            if constexpr (Op == xrRegexOp::Split)
                match.GetSplitStrings(m_strings, unsigned(limit));
            else
                match.GetMatchingStrings(m_strings);
        });
        std::vector<String>& items = m_array.items();
        items.resize(m_strings.size());
        for (size_t i = 0; i < m_strings.size(); ++i)
            items[i] = m_strings[i];
        return m_array;
    }
    double AsDouble(ExpressionContext& ctx) override { return double(AsValue(ctx).asArray()->getSize()); }
    bool AsBool(ExpressionContext& ctx) override { return AsValue(ctx).asArray()->getSize() > 0; }
    void Evaluate(ExpressionContext& ctx) override {
        if constexpr (Op == xrRegexOp::Split) {
            throw error(
                u"You must use the resulting value from rsplit to assign to a property or in another "
                u"expression.");
        } else {
            textArg(ctx, 0);
            textArg(ctx, 1);
        }
    }

  private:
    xrRegexHolder m_regex;
    String m_text, m_pattern, m_optionsText;
    strand::Array<String> m_strings;
    strand::StringArrayValue m_array;
};

// rsubst(text, pattern, replacement [, options])
class xrRSubstExprImp final : public xrFunctionExprImp<xrStringExprImp> {
  public:
    using xrFunctionExprImp::xrFunctionExprImp;
    const String& AsString(ExpressionContext& ctx) override {
        m_text.assign(textArg(ctx, 0).view());
        m_pattern = textArg(ctx, 1);
        m_replacement = textArg(ctx, 2);
        m_optionsText = hasArg(3) ? textArg(ctx, 3) : String::empty();
        const strand::xrRegex& regex = m_regex.get(*this, m_pattern, &m_replacement, m_optionsText);
        String& result = GetString();
        atCallLine([&] { regex.SubstituteInto(m_text.view(), result); });
        checkTextLength(ctx, result.length(), u"rsubst");
        return result;
    }

  private:
    xrRegexHolder m_regex;
    String m_text, m_pattern, m_replacement, m_optionsText;
};

}  // namespace

namespace strand::strings {

STRAND_BUILTIN_FACTORY(makeSubstring, xrSubstringExprImp)
STRAND_BUILTIN_FACTORY(makeFormat, xrFormatExprImp)
STRAND_BUILTIN_FACTORY(makeStringLength, xrStringLengthExprImp)
STRAND_BUILTIN_FACTORY(makeFindSubstring, xrFindSubstringExprImp)
STRAND_BUILTIN_FACTORY(makeFindLastSubstring, xrFindLastSubstringExprImp)
STRAND_BUILTIN_FACTORY(makeStrReplace, xrStrReplaceExprImp)
STRAND_BUILTIN_FACTORY(makeStrErase, xrStrEraseExprImp)
STRAND_BUILTIN_FACTORY(makeStrInsert, xrStrInsertExprImp)
STRAND_BUILTIN_FACTORY(makeStrOverwrite, xrStrOverwriteExprImp)
STRAND_BUILTIN_FACTORY(makeToUpper, xrCaseExprImp<true>)
STRAND_BUILTIN_FACTORY(makeToLower, xrCaseExprImp<false>)
STRAND_BUILTIN_FACTORY(makeTrim, xrTrimExprImp)
STRAND_BUILTIN_FACTORY(makeNumberSort, xrNumberSortExprImp)
STRAND_BUILTIN_FACTORY(makeSort, xrSortExprImp)
STRAND_BUILTIN_FACTORY(makeRemoveDuplicates, xrRemoveDuplicatesExprImp)
STRAND_BUILTIN_FACTORY(makeRMatch, xrRegexArrayExprImp<xrRegexOp::Match>)
STRAND_BUILTIN_FACTORY(makeRSplit, xrRegexArrayExprImp<xrRegexOp::Split>)
STRAND_BUILTIN_FACTORY(makeRSubst, xrRSubstExprImp)

}  // namespace strand::strings
