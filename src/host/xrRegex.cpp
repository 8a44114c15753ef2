#include "host/xrRegex.h"

#include <algorithm>

#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>

#include "host/Exception.h"

namespace strand {

struct xrRegexCode {
    pcre2_code* code = nullptr;
    pcre2_match_context* context = nullptr;
    bool unicode = false;

    xrRegexCode() = default;
    xrRegexCode(const xrRegexCode&) = delete;
    xrRegexCode& operator=(const xrRegexCode&) = delete;
    ~xrRegexCode() {
        pcre2_match_context_free(context);
        pcre2_code_free(code);
    }
};

namespace {

constexpr size_t kUnset = SIZE_MAX;

// PCRE2's text for an error number.
String errorText(int error) {
    PCRE2_UCHAR buffer[256];
    int length = pcre2_get_error_message(error, buffer, sizeof(buffer) / sizeof(buffer[0]));
    if (length < 0)
        return String(u"unknown error");
    return String(reinterpret_cast<const char16_t*>(buffer), size_t(length));
}

[[noreturn]] void throwMatchError(int error) {
    throw Exception(u"Regular expression match failed: %ls", errorText(error));
}

PCRE2_SPTR subjectOf(std::u16string_view text) {
    // PCRE2 wants a real pointer even for an empty subject.
    return reinterpret_cast<PCRE2_SPTR>(text.data() ? text.data() : u"");
}

uint32_t compileOptions(int options) {
    uint32_t bits = 0;
    if (options & xrRegex::IgnoreCase)
        bits |= PCRE2_CASELESS;
    if (options & xrRegex::Multiline)
        bits |= PCRE2_MULTILINE;
    if (options & xrRegex::Extended)
        bits |= PCRE2_EXTENDED;
    if (options & xrRegex::DotAll)
        bits |= PCRE2_DOTALL;
    if (options & xrRegex::Unicode)
        bits |= PCRE2_UTF | PCRE2_UCP | PCRE2_MATCH_INVALID_UTF;
    return bits;
}

// One match from `start`; true when found. When the JIT runs out of its stack, the interpreter,
// which keeps its backtracking on the heap under the heap limit, tries again.
bool runMatch(const xrRegexCode& code, std::u16string_view text, size_t start, pcre2_match_data* data) {
    int rc = pcre2_match(code.code, subjectOf(text), text.size(), start, 0, data, code.context);
    if (rc == PCRE2_ERROR_JIT_STACKLIMIT) {
        rc = pcre2_match(code.code, subjectOf(text), text.size(), start, PCRE2_NO_JIT, data, code.context);
    }
    if (rc >= 0)
        return true;
    if (rc == PCRE2_ERROR_NOMATCH)
        return false;
    throwMatchError(rc);
}

// Each thread has its own JIT stack (the one on the machine stack holds only 32 KiB), made on first
// use and released when the thread ends. A stack serves one match at a time, and a thread runs one
// match at a time, so the compiled code can be shared between threads.
class ThreadJitStack {
  public:
    ~ThreadJitStack() { pcre2_jit_stack_free(m_stack); }
    pcre2_jit_stack* get() {
        if (!m_stack && !m_failed) {
            m_stack = pcre2_jit_stack_create(32 * 1024, xrRegex::kJitStackSize, nullptr);
            m_failed = m_stack == nullptr;
        }
        return m_stack;
    }

  private:
    pcre2_jit_stack* m_stack = nullptr;
    bool m_failed = false;
};

// With no stack of its own (it could not be made), the JIT falls back to the 32 KiB one.
pcre2_jit_stack* threadJitStack(void*) {
    thread_local ThreadJitStack stack;
    return stack.get();
}

bool isHighSurrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool isLowSurrogate(char16_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

// The position one character after `pos`: a surrogate pair is one character under Unicode.
size_t nextCharacter(const xrRegexCode& code, std::u16string_view text, size_t pos) {
    if (code.unicode && pos + 1 < text.size() && isHighSurrogate(text[pos]) &&
        isLowSurrogate(text[pos + 1])) {
        return pos + 2;
    }
    return pos + 1;
}

}  // namespace

void xrRegex::MatchDataFree::operator()(pcre2_real_match_data_16* data) const noexcept {
    pcre2_match_data_free(data);
}

int xrRegex::OptionsFromString(const String& letters, int base) {
    // The option bits follow the order of these letters: i = 1, m = 2, x = 4, s = 8, g = 16, u = 32.
    constexpr std::u16string_view kLetters = u"imxsgu";
    int options = base;
    for (char16_t letter : letters) {
        size_t bit = kLetters.find(foldAsciiCase(letter));
        if (bit == kLetters.npos)
            throw Exception(u"Unknown regular expression option '%c'", letter);
        options |= 1 << bit;
    }
    return options;
}

// --- Match ---------------------------------------------------------------------------------------

xrRegex::Match::Match() = default;
xrRegex::Match::~Match() = default;
xrRegex::Match::Match(const Match&) = default;
xrRegex::Match& xrRegex::Match::operator=(const Match&) = default;
xrRegex::Match::Match(Match&&) noexcept = default;
xrRegex::Match& xrRegex::Match::operator=(Match&&) noexcept = default;

size_t xrRegex::Match::GetStart() const {
    return m_found ? m_offsets[0] : 0;
}

size_t xrRegex::Match::GetEnd() const {
    return m_found ? m_offsets[1] : 0;
}

void xrRegex::Match::GetMatchingStrings(Array<String>& out) const {
    out.clear();
    if (!m_found)
        return;
    for (size_t i = 0; i + 1 < m_offsets.size(); i += 2) {
        size_t start = m_offsets[i];
        size_t end = m_offsets[i + 1];
        if (start == kUnset || end < start) {
            out.add(String::empty());
        } else {
            out.add(String(m_text.view().substr(start, end - start)));
        }
    }
}

void xrRegex::Match::GetSplitStrings(Array<String>& out, unsigned limit) const {
    out.clear();
    std::u16string_view text = m_text.view();
    if (text.empty())
        return;
    size_t fieldStart = 0;
    if (m_code) {
        MatchDataPtr data(pcre2_match_data_create_from_pattern(m_code->code, nullptr));
        if (!data)
            throw MemoryException();
        size_t from = 0;
        while ((limit == 0 || out.size() + 1 < limit) && from <= text.size()) {
            if (!runMatch(*m_code, text, from, data.get()))
                break;
            const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(data.get());
            size_t start = ovector[0];
            size_t end = ovector[1];
            // Only \K in a lookaround, which PCRE2 refuses by default, ends a match before its start.
            if (end < start)
                end = start;
            if (start == end && (start == fieldStart || start == text.size())) {
                // An empty match here separates nothing; move on one character.
                from = nextCharacter(*m_code, text, start);
                continue;
            }
            out.add(String(text.substr(fieldStart, start - fieldStart)));
            fieldStart = end;
            from = end;
        }
    }
    out.add(String(text.substr(fieldStart)));
}

// --- xrRegex -------------------------------------------------------------------------------------

xrRegex::xrRegex() = default;
xrRegex::~xrRegex() = default;
xrRegex::xrRegex(xrRegex&&) noexcept = default;
xrRegex& xrRegex::operator=(xrRegex&&) noexcept = default;

void xrRegex::compile(const String& pattern, int options) {
    m_code.reset();
    m_matchData.reset();
    m_replacement = String();
    m_literalFirst = false;
    m_options = options;

    auto code = std::make_shared<xrRegexCode>();
    code->unicode = (options & Unicode) != 0;
    int error = 0;
    PCRE2_SIZE errorOffset = 0;
    code->code = pcre2_compile(subjectOf(pattern.view()), pattern.length(), compileOptions(options), &error,
                               &errorOffset, nullptr);
    if (!code->code) {
        throw Exception(u"Regular expression error at offset %lld: %ls", (long long)errorOffset,
                        errorText(error));
    }
    // Without JIT support, or for a pattern the JIT cannot take, the interpreter matches.
    pcre2_jit_compile(code->code, PCRE2_JIT_COMPLETE);

    code->context = pcre2_match_context_create(nullptr);
    if (!code->context)
        throw MemoryException();
    pcre2_jit_stack_assign(code->context, threadJitStack, nullptr);
    pcre2_set_match_limit(code->context, kMatchLimit);
    pcre2_set_depth_limit(code->context, kDepthLimit);
    pcre2_set_heap_limit(code->context, kHeapLimitKiB);

    m_matchData.reset(pcre2_match_data_create_from_pattern(code->code, nullptr));
    if (!m_matchData)
        throw MemoryException();
    m_code = std::move(code);
}

void xrRegex::SetExpression(const String& pattern, int options) {
    compile(pattern, options);
}

void xrRegex::SetSubstitution(const String& pattern, const String& replacement, int options) {
    compile(pattern, options);
    m_replacement = replacement;
    m_literalFirst = !(options & Global) && m_replacement.view().find(u'$') == std::u16string_view::npos;
}

const xrRegexCode& xrRegex::code() const {
    if (!m_code)
        throw Exception(u"Regular expression is not compiled");
    return *m_code;
}

xrRegex::Match xrRegex::Search(const String& text) const {
    const xrRegexCode& compiled = code();
    Match match;
    match.m_code = m_code;
    match.m_text = text.isNull() ? String::empty() : text;
    match.m_found = runMatch(compiled, match.m_text.view(), 0, m_matchData.get());
    if (!match.m_found)
        return match;
    uint32_t pairs = pcre2_get_ovector_count(m_matchData.get());
    const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(m_matchData.get());
    match.m_offsets.reserve(size_t(pairs) * 2);
    for (uint32_t i = 0; i < pairs * 2; ++i) {
        match.m_offsets.push_back(ovector[i] == PCRE2_UNSET ? kUnset : size_t(ovector[i]));
    }
    // Only \K in a lookaround, which PCRE2 refuses by default, ends a match before its start.
    if (match.m_offsets[1] < match.m_offsets[0])
        match.m_offsets[1] = match.m_offsets[0];
    return match;
}

bool xrRegex::IsMatch(std::u16string_view text) const {
    return runMatch(code(), text, 0, m_matchData.get());
}

int xrRegex::substituteInto(std::u16string_view text, std::u16string& result) const {
    const xrRegexCode& compiled = code();
    uint32_t options = PCRE2_SUBSTITUTE_OVERFLOW_LENGTH | PCRE2_SUBSTITUTE_UNSET_EMPTY;
    if (m_options & Global)
        options |= PCRE2_SUBSTITUTE_GLOBAL;
    // The result's storage is reused: it is written in place and cut to the length made.
    result.resize(text.size() + m_replacement.length() + 1);
    PCRE2_SIZE length = result.size();
    auto run = [&](uint32_t extra) {
        length = result.size();
        return pcre2_substitute(compiled.code, subjectOf(text), text.size(), 0, options | extra,
                                m_matchData.get(), compiled.context, subjectOf(m_replacement.view()),
                                m_replacement.length(), reinterpret_cast<PCRE2_UCHAR*>(result.data()),
                                &length);
    };
    // At most one retry to grow the output to the size PCRE2 asked for, and one without the JIT
    // when it ran out of its stack.
    uint32_t extra = 0;
    bool grown = false;
    int rc;
    for (;;) {
        rc = run(extra);
        if (rc == PCRE2_ERROR_NOMEMORY && !grown) {
            // `length` holds the size needed, its terminating zero included.
            result.resize(length);
            grown = true;
        } else if (rc == PCRE2_ERROR_JIT_STACKLIMIT && extra == 0) {
            extra = PCRE2_NO_JIT;
        } else {
            break;
        }
    }
    if (rc < 0) {
        result.clear();
        throw Exception(u"Regular expression substitution failed: %ls", errorText(rc));
    }
    if (rc == 0)
        result.assign(text);
    else
        result.resize(length);
    return rc;
}

String xrRegex::Substitute(const String& text) const {
    std::u16string result;
    if (substituteInto(text.view(), result) == 0)
        return text;
    return String(std::move(result));
}

void xrRegex::SubstituteInto(std::u16string_view text, String& out) const {
    std::u16string& result = out.mutableStr();
    if (!m_literalFirst) {
        substituteInto(text, result);
        return;
    }
    if (!runMatch(code(), text, 0, m_matchData.get())) {
        result.assign(text);
        return;
    }
    const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(m_matchData.get());
    const size_t start = size_t(ovector[0]);
    // Only \K in a lookaround, which PCRE2 refuses by default, ends a match before its start.
    const size_t end = std::max(start, size_t(ovector[1]));
    result.assign(text.substr(0, start));
    result.append(m_replacement.view());
    result.append(text.substr(end));
}

}  // namespace strand
