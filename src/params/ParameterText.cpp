// CParameter: text evaluation. The raw strings of a value become evaluated strings in up to three steps
// (the bits of the mode):
//   1 macro tokens: "$(name)" takes the text of the parameter `name` (itself evaluated), then, in a
//     second pass, of the global property `name`; a string that is one token becomes that parameter's
//     strings, a token inside text their text joined by ",";
//   2 embedded scripts: the StrandScript between "<EXPR>" and "</EXPR>" (or "<SQL-SCRIPT>" and
//     "</SQL-SCRIPT>") is replaced by its text result, the earliest tag first, until none is left;
//   4 expression-typed values: each string is run as a StrandScript, its text the result.
//
// Bounds. Parameters whose tokens lead back to themselves, and parameter() re-entering a parameter
// whose text is being evaluated, are refused ("cyclic macro reference: A -> B -> A"); chains of tokens,
// and scripts whose results bring a tag back, count on the one nesting counter; the evaluated text of a
// parameter may not exceed kMaxEvaluatedText code units. Within one evaluation (or a TextBatch), the
// text of a parameter reached by several tokens is expanded once and reused for as long as no script
// has run and no parameter has changed since, so that tokens that repeat other tokens take time in
// proportion to the text they make.

#include <algorithm>
#include <deque>
#include <memory>
#include <unordered_map>

#include "host/HvnConstants.h"
#include "host/Nesting.h"
#include "host/Util.h"
#include "params/MemberGuard.h"
#include "params/Parameter.h"
#include "params/TextValues.h"
#include "parser/ExpressionParser.h"

using strand::Array;
using strand::iContext;
using strand::iPropertyCollection;
using strand::Ptr;
using strand::String;
using strand::params::guardMember;
using strand::params::valueStrings;

namespace {

constexpr const char16_t* kClass = u"CParameter";

struct ScriptTag {
    std::u16string_view opening;
    std::u16string_view closing;
};
// In index order; both are evaluated as StrandScript. Tags match case-sensitively.
constexpr ScriptTag kScriptTags[] = {
    {u"<SQL-SCRIPT>", u"</SQL-SCRIPT>"},
    {u"<EXPR>", u"</EXPR>"},
};
constexpr size_t kTagCount = std::size(kScriptTags);
// The longest opening text: a tag that a replacement brings about starts at most this many code units
// minus one before the replaced section.
constexpr size_t kLongestOpening = 12;

// A text that outgrew the bound. Its failure depends on nothing but the inputs of the text, so it is
// kept like a text that was made.
class TextTooLong : public strand::Exception {
  public:
    using strand::Exception::Exception;
};

// One evaluated text kept for reuse (or its failure to fit the bound), with the inputs it was made from.
struct Memo {
    iContext* context;
    iPropertyCollection* parameters;
    iPropertyCollection* globals;
    uint32_t mode;
    uint64_t epoch;
    // The nesting levels its evaluation took: reused deeper down, it must still fit under the bound,
    // so that reuse never lets a text through that evaluating it afresh would refuse.
    int32_t height;
    bool changed;
    Array<String> text;
    std::shared_ptr<const TextTooLong> failure;
};

// The text evaluations under way on this thread.
struct Evaluation {
    int32_t depth = 0;
    int32_t batches = 0;
    // Counts the runs of scripts (embedded scripts, expression-typed values) and the changes of
    // parameters: either may change what a token reads, so a kept text is good only within its epoch.
    uint64_t epoch = 0;
    // The deepest nesting level the evaluation under way has reached.
    int32_t deepest = 0;
    // The parameters whose text is being evaluated, outermost first.
    std::vector<const CParameter*> chain;
    std::unordered_map<const CParameter*, Memo> memo;
};

thread_local Evaluation t_evaluation;

const Memo* findMemo(const CParameter* parameter, iContext* context, iPropertyCollection* parameters,
                     iPropertyCollection* globals, uint32_t mode) {
    auto found = t_evaluation.memo.find(parameter);
    if (found == t_evaluation.memo.end())
        return nullptr;
    const Memo& memo = found->second;
    const bool same = memo.context == context && memo.parameters == parameters && memo.globals == globals &&
                      memo.mode == mode && memo.epoch == t_evaluation.epoch;
    const int32_t reaches = strand::NestingGuard::depth() + memo.height - 1;
    return same && reaches <= strand::NestingGuard::kMaxNesting ? &memo : nullptr;
}

// The first position at or after `from` where an opening tag starts in s, and the tag's index. `next`
// caches, per tag, the latest position found (npos when the tag does not occur again).
size_t findTagFrom(const String& s, size_t from, size_t (&next)[kTagCount], int32_t& tagIndex) {
    size_t best = String::npos;
    tagIndex = -1;
    for (size_t t = 0; t < kTagCount; ++t) {
        if (next[t] != String::npos && next[t] < from)
            next[t] = s.find(kScriptTags[t].opening, from);
        if (next[t] < best) {
            best = next[t];
            tagIndex = int32_t(t);
        }
    }
    return best;
}

void resetTagCache(const String& s, size_t (&next)[kTagCount]) {
    for (size_t t = 0; t < kTagCount; ++t)
        next[t] = s.find(kScriptTags[t].opening);
}

}  // namespace

// Marks the parameter's text as under evaluation for the life of the scope: the parameter cannot
// come back to itself, and the level counts on the nesting counter.
class CParameter::EvaluationScope {
  public:
    explicit EvaluationScope(CParameter& parameter)
        : m_parameter(parameter), m_guard(u"the text of parameter '%ls'", parameter.getName()) {
        if (parameter.m_evaluating)
            throw cycleError(parameter);
        parameter.m_evaluating = true;
        t_evaluation.chain.push_back(&parameter);
        ++t_evaluation.depth;
        m_level = strand::NestingGuard::depth();
        m_outerDeepest = t_evaluation.deepest;
        t_evaluation.deepest = m_level;
    }
    ~EvaluationScope() {
        m_parameter.m_evaluating = false;
        t_evaluation.chain.pop_back();
        t_evaluation.deepest = std::max(t_evaluation.deepest, m_outerDeepest);
        if (--t_evaluation.depth == 0 && t_evaluation.batches == 0)
            t_evaluation.memo.clear();
    }
    // The levels this evaluation has taken so far, its own included.
    int32_t height() const noexcept { return t_evaluation.deepest - m_level + 1; }
    // A kept text reused here counts as the levels its evaluation took.
    void reused(int32_t height) noexcept {
        t_evaluation.deepest = std::max(t_evaluation.deepest, m_level + height - 1);
    }
    EvaluationScope(const EvaluationScope&) = delete;
    EvaluationScope& operator=(const EvaluationScope&) = delete;

  private:
    static strand::Exception cycleError(const CParameter& parameter) {
        String chain(String::View{});
        bool inCycle = false;
        for (const CParameter* link : t_evaluation.chain) {
            inCycle = inCycle || link == &parameter;
            if (!inCycle)
                continue;
            chain.append(link->getName().view());
            chain.append(u" -> ");
        }
        chain.append(parameter.getName().view());
        return strand::Exception(u"cyclic macro reference: %ls", chain);
    }

    CParameter& m_parameter;
    strand::NestingGuard m_guard;
    int32_t m_level = 0;
    int32_t m_outerDeepest = 0;
};

CParameter::TextBatch::TextBatch() {
    ++t_evaluation.batches;
}

CParameter::TextBatch::~TextBatch() {
    if (--t_evaluation.batches == 0 && t_evaluation.depth == 0)
        t_evaluation.memo.clear();
}

void CParameter::textInputsChanged() noexcept {
    ++t_evaluation.epoch;
}

void CParameter::checkTextSize(size_t units) const {
    if (units > kMaxEvaluatedText) {
        throw TextTooLong(u"The evaluated text of parameter '%ls' would exceed %d code units", getName(),
                          int32_t(kMaxEvaluatedText));
    }
}

// ---------------------------------------------------------------------------------------------------
// The steps

void CParameter::getEvaluatedText(iContext* context, iPropertyCollection* parameters,
                                  iPropertyCollection* globals, uint32_t mode, Array<String>& out) {
    guardMember(kClass, u"getEvaluatedText",
                [&] { GetEvaluatedText(context, parameters, globals, mode, out); });
}

bool CParameter::GetEvaluatedText(iContext* context, iPropertyCollection* parameters,
                                  iPropertyCollection* globals, uint32_t mode, Array<String>& out) {
    return guardMember(kClass, u"GetEvaluatedText", [&] {
        EvaluationScope scope(*this);
        if (const Memo* memo = findMemo(this, context, parameters, globals, mode)) {
            scope.reused(memo->height);
            if (memo->failure)
                throw TextTooLong(*memo->failure);
            out = memo->text;
            return memo->changed;
        }
        // Outside a batch the outermost text is not asked for again.
        const bool keep = t_evaluation.depth > 1 || t_evaluation.batches > 0;
        const uint64_t epoch = t_evaluation.epoch;
        try {
            const bool changed = evaluateText(context, parameters, globals, mode, out);
            if (keep && t_evaluation.epoch == epoch)
                t_evaluation.memo[this] =
                    Memo{context, parameters, globals, mode, epoch, scope.height(), changed, out, {}};
            return changed;
        } catch (const TextTooLong& e) {
            if (keep && t_evaluation.epoch == epoch) {
                t_evaluation.memo[this] =
                    Memo{context, parameters,      globals,
                         mode,    epoch,           scope.height(),
                         false,   Array<String>(), std::make_shared<const TextTooLong>(e)};
            }
            throw;
        }
    });
}

bool CParameter::evaluateText(iContext* context, iPropertyCollection* parameters,
                              iPropertyCollection* globals, uint32_t mode, Array<String>& out) {
    GetRawText(out);
    if (out.isEmpty())
        return false;
    bool changed = false;
    // A single string without a token has nothing to replace.
    const bool tokens = out.size() > 1 || out[0].contains(u"$(");
    if ((mode & kReplaceMacroTokens) && tokens)
        changed = DoReplaceMacroTokens(context, parameters, globals, getName(), kReplaceMacroTokens, out);
    if ((mode & kEvaluateEmbeddedScripts) && DoEvaluateEmbeddedExpressions(context, out))
        changed = true;
    if ((mode & kEvaluateExpression) && CheckIfExpression(context, out)) {
        DoExpressionEvaluation(out);
        changed = true;
    }
    size_t units = 0;
    for (const String& s : out)
        units += s.length();
    checkTextSize(units);
    return changed;
}

void CParameter::getTextWithTokensReplaced(iContext* context, iPropertyCollection* parameters,
                                           iPropertyCollection* globals, Array<String>& out) {
    guardMember(kClass, u"getTextWithTokensReplaced", [&] {
        if (!parameters && context)
            parameters = context->getComponentParameters();
        if (!globals && context)
            globals = context->getGlobalProperties();
        EvaluationScope scope(*this);
        GetRawText(out);
        DoReplaceMacroTokens(context, parameters, globals, getName(), kReplaceMacroTokens, out);
    });
}

void CParameter::GetRawText(Array<String>& out) const {
    guardMember(kClass, u"GetRawText", [&] { out = valueStrings(CProperty::getRawValue()); });
}

// ---------------------------------------------------------------------------------------------------
// Macro tokens

bool CParameter::DoReplaceMacroTokens(iContext* context, iPropertyCollection* parameters,
                                      iPropertyCollection* globals, const String& name, uint32_t mode,
                                      Array<String>& text) {
    return guardMember(kClass, u"DoReplaceMacroTokens", [&] {
        m_intermediate.clear();
        m_replaced.clear();
        bool changed = false;
        // Pass 1: the component's parameters; a parameter's token of itself stays.
        m_passUnits = 0;
        for (const String& s : text) {
            if (ReplaceTokensInString(context, name, s, parameters, parameters, mode, m_intermediate))
                changed = true;
        }
        // Pass 2: the global properties, where the parameter's own name may be found too.
        m_passUnits = 0;
        const bool source = name.equalsIgnoreCase(std::u16string_view(strand::HVN_Source));
        const std::u16string_view root(strand::HVN_RootToken);
        for (String& t : m_intermediate) {
            if (source && t.length() >= root.size() &&
                String::equalFolded(t.view().substr(0, root.size()), root) && StripLegacyHvnRootPrefix(t))
                changed = true;
            // A string without a token passes as it is.
            if (!t.contains(u"$(")) {
                m_passUnits += t.length();
                m_replaced.add(std::move(t));
                continue;
            }
            if (ReplaceTokensInString(context, name, t, globals, parameters, 0, m_replaced))
                changed = true;
        }
        m_intermediate.clear();
        if (changed)
            std::swap(text.vector(), m_replaced.vector());
        m_replaced.clear();
        return changed;
    });
}

bool CParameter::ReplaceTokensInString(iContext* context, const String& name, const String& s,
                                       iPropertyCollection* lookup, iPropertyCollection* other, uint32_t mode,
                                       Array<String>& out) {
    return guardMember(kClass, u"ReplaceTokensInString", [&] {
        size_t start = s.isEmpty() ? String::npos : s.find(u"$(");
        if (start == String::npos) {
            m_passUnits += s.length();
            checkTextSize(m_passUnits);
            out.add(s);
            return false;
        }
        String result(String::View{});
        bool changed = false;
        bool closes = true;  // false once no ")" is left after the position reached
        size_t pos = 0;
        auto keepOpening = [&] {
            result.append(u"$(");
            pos = start + 2;
            start = s.find(u"$(", pos);
        };
        while (start != String::npos) {
            result.append(s.view().substr(pos, start - pos));
            const size_t close = closes ? s.find(u')', start) : String::npos;
            if (close == String::npos) {
                closes = false;
                keepOpening();
                continue;
            }
            const String token(s.view().substr(start + 2, close - start - 2));
            // A parameter's token of itself is looked up only where its own value is not.
            const bool self = name.isEmpty() ? token.isEmpty() : name.equalsIgnoreCase(token);
            strand::iProperty* found = (self && lookup == other) || !lookup ? nullptr : lookup->find(token);
            if (!found) {
                keepOpening();
                continue;
            }
            if (start == 0 && close == s.length() - 1) {
                for (const String& value : valueStrings(found->getValue())) {
                    m_passUnits += value.length();
                    checkTextSize(m_passUnits);
                    out.add(value);
                }
                return true;
            }
            Array<String> strings;
            auto* parameter = mode != 0 ? dynamic_cast<CParameter*>(found) : nullptr;
            if (parameter) {
                parameter->getEvaluatedText(
                    context, lookup, context ? context->getGlobalProperties() : nullptr, mode, strings);
            } else {
                strings = valueStrings(found->getValue());
            }
            const String replacement = strings.size() == 1 ? std::move(strings[0])
                                       : strings.isEmpty()
                                           ? String::empty()
                                           : strand::util::multipleStringsToSingleString(strings, u",");
            checkTextSize(m_passUnits + result.length() + replacement.length());
            result.append(replacement.view());
            pos = close + 1;
            changed = true;
            start = pos >= s.length() ? String::npos : s.find(u"$(", pos);
        }
        if (!changed) {
            m_passUnits += s.length();
            checkTextSize(m_passUnits);
            out.add(s);
            return false;
        }
        result.append(s.view().substr(pos));
        m_passUnits += result.length();
        checkTextSize(m_passUnits);
        out.add(std::move(result));
        return true;
    });
}

bool CParameter::StripLegacyHvnRootPrefix(String& s) {
    const std::u16string_view root(strand::HVN_RootToken);
    const std::u16string_view text = s.view();
    auto slash = [](char16_t c) { return c == u'\\' || c == u'/'; };
    const size_t data = root.size() + 1;
    if (text.size() < data + 5 || !String::equalFolded(text.substr(0, root.size()), root) ||
        !slash(text[root.size()]) || !String::equalFolded(text.substr(data, 4), u"data") ||
        !slash(text[data + 4]))
        return false;
    s = String(text.substr(data));
    return true;
}

// ---------------------------------------------------------------------------------------------------
// Embedded scripts

int32_t CParameter::FindScriptTagStart(const String& s, int32_t& tagIndex) {
    size_t next[kTagCount];
    resetTagCache(s, next);
    const size_t start = findTagFrom(s, 0, next, tagIndex);
    return start == String::npos ? -1 : int32_t(start);
}

bool CParameter::DoEvaluateEmbeddedExpressions(iContext* context, Array<String>& text) {
    return guardMember(kClass, u"DoEvaluateEmbeddedExpressions", [&] {
        bool changed = false;
        for (String& s : text) {
            if (evaluateScriptTags(context, s))
                changed = true;
        }
        return changed;
    });
}

// Replaces the tags of one string, the earliest first, until none is left. What precedes a replaced
// section never holds a tag, so the scan goes on after the result, unless a tag starts within the few
// code units before it, in it or just after it: then the scan resumes just before the section, as many
// times as the nesting counter allows.
bool CParameter::evaluateScriptTags(iContext* context, String& s) {
    size_t next[kTagCount];
    resetTagCache(s, next);
    int32_t tag;
    if (findTagFrom(s, 0, next, tag) == String::npos)
        return false;
    String done(String::View{});
    String rest = s;
    size_t pos = 0;
    std::deque<strand::NestingGuard> rounds;
    for (size_t start; (start = findTagFrom(rest, pos, next, tag)) != String::npos;) {
        const ScriptTag& found = kScriptTags[tag];
        const size_t close = rest.find(found.closing, start);
        if (close == String::npos) {
            const String whole = done + rest.view().substr(pos);
            throw strand::Exception(u"Found opening \"%ls\" but not closing: \"%ls\"", found.opening, whole);
        }
        done.append(rest.view().substr(pos, start - pos));
        const size_t bodyStart = start + found.opening.size();
        String result;
        EvaluateStrandScript(context, String(rest.view().substr(bodyStart, close - bodyStart)), result);
        const size_t after = close + found.closing.size();
        const size_t tail = std::min(kLongestOpening - 1, done.length());
        String window = String(done.view().substr(done.length() - tail)) + result.view() +
                        rest.view().substr(after, kLongestOpening - 1);
        // A tag that starts in the window's last part was there before: only the tail and the result count.
        int32_t returned;
        const int32_t comes = FindScriptTagStart(window, returned);
        if (comes == -1 || size_t(comes) >= tail + result.length()) {
            done.append(result.view());
            pos = after;
            checkTextSize(done.length() + rest.length() - pos);
            continue;
        }
        rounds.emplace_back(u"the embedded scripts of parameter '%ls'", getName());
        String again =
            String(done.view().substr(done.length() - tail)) + result.view() + rest.view().substr(after);
        done.resize(done.length() - tail);
        rest = std::move(again);
        pos = 0;
        resetTagCache(rest, next);
        checkTextSize(done.length() + rest.length());
    }
    done.append(rest.view().substr(pos));
    s = std::move(done);
    return true;
}

void CParameter::EvaluateStrandScript(iContext* context, const String& script, String& result) {
    textInputsChanged();
    Ptr<xrExpressionListImp> parsed = xrExpressionParser::ParseExpression(script, context);
    parsed->doesSomethingCheck(false);
    // Embedded scripts run without a component or a record: they compute text.
    strand::ExpressionContext ctx(nullptr, static_cast<strand::iDataRecord*>(nullptr), parsed->GetRandom());
    result = parsed->getString(ctx);
}

// ---------------------------------------------------------------------------------------------------
// Expression-typed values

bool CParameter::CheckIfExpression(iContext* context, const Array<String>& text) {
    return guardMember(kClass, u"CheckIfExpression", [&] {
        if (!(getInfo()->getMetaDataFlags() & kExpressionMetaData))
            return false;
        m_expressionCache.SetValues(context, text);
        return m_expressionCache.GetNumberOfExpressions() > 0;
    });
}

void CParameter::DoExpressionEvaluation(Array<String>& text) {
    guardMember(kClass, u"DoExpressionEvaluation", [&] {
        const uint32_t count = m_expressionCache.GetNumberOfExpressions();
        if (count == 0)
            return;
        textInputsChanged();
        strand::iParameterCollection* parent = parentCollection();
        iContext* context = parent ? parent->getContext() : nullptr;
        strand::iDataRecord* record = context ? context->getLocalData() : nullptr;
        strand::ExpressionContext ctx(context, record, m_expressionCache.GetExpressionAt(0)->GetRandom());
        text.resize(count);
        for (uint32_t i = 0; i < count; ++i) {
            const Ptr<xrExpressionListImp>& expression = m_expressionCache.GetExpressionAt(i);
            if (expression->Size() == 0) {
                text[i] = String::empty();
                continue;
            }
            const String& value = expression->getString(ctx);
            text[i] = value.isNull() ? String::empty() : value;
        }
    });
}
