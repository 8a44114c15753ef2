#pragma once
// xrRegex: the regular expressions of scripts, on PCRE2's 16-bit library. Script texts are 16-bit
// code units and go to PCRE2 as they are, without conversion. An xrRegex holds one compiled
// expression (and, for substitution, its replacement); Search gives a Match that keeps the text it
// searched, the positions of the match and its groups, and can split that text.
//
// Matching is bounded: every match runs under a match limit, a depth limit and a heap limit, so a
// pattern with catastrophic backtracking ends quickly with an Exception instead of running for
// minutes. The JIT compiler is used when PCRE2 can compile the pattern with it; otherwise the
// interpreter matches.
//
// Thread use: the compiled expression is read-only and shared, but the object keeps scratch
// memory (a match-data block) that Search, IsMatch and Substitute reuse, so one xrRegex serves one
// thread at a time. A Match is independent of the xrRegex that made it.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "host/Array.h"
#include "host/String.h"

struct pcre2_real_match_data_16;

namespace strand {

// The compiled expression with its match context, shared by an xrRegex and its Matches (xrRegex.cpp).
struct xrRegexCode;

class xrRegex {
  public:
    // Option word bits.
    enum : int {
        // Letters match either case. Without Unicode only A-Z / a-z fold; every other code unit,
        // accented letters included, matches only itself.
        IgnoreCase = 1,
        // ^ and $ also match just after and just before every line feed.
        Multiline = 2,
        // White space in the pattern is ignored and # starts a comment up to the line end.
        Extended = 4,
        // The dot also matches line feeds.
        DotAll = 8,
        // Substitute replaces every match instead of only the first. No effect on searching.
        Global = 16,
        // The pattern and the text are UTF-16: a surrogate pair is one character, \w, \d, \s
        // and case folding follow Unicode. A lone surrogate in the text is never an error, but
        // nothing matches it, not even the dot (in the pattern or the replacement it is an error).
        // Without this bit, every 16-bit code unit is one character.
        Unicode = 32,
    };

    // Bounds of one match (see pcre2_set_match_limit, pcre2_set_depth_limit, pcre2_set_heap_limit).
    static constexpr uint32_t kMatchLimit = 10'000'000;
    static constexpr uint32_t kDepthLimit = 10'000'000;
    static constexpr uint32_t kHeapLimitKiB = 1024 * 1024;  // 1 GiB of backtracking memory
    // The most each thread's JIT stack may grow to. A match that needs more goes on in the
    // interpreter, under the heap limit.
    static constexpr size_t kJitStackSize = 64 * 1024 * 1024;

    // Option letters, in either letter case: i IgnoreCase, m Multiline, x Extended, s DotAll,
    // g Global, u Unicode. Returns base with the bits of the letters added. A null or empty text
    // gives base. Any other letter throws "Unknown regular expression option 'q'".
    static int OptionsFromString(const String& letters, int base = 0);

    // The result of Search.
    class Match {
      public:
        // Not found, over no text.
        Match();
        ~Match();
        Match(const Match&);
        Match& operator=(const Match&);
        Match(Match&&) noexcept;
        Match& operator=(Match&&) noexcept;

        bool Found() const { return m_found; }
        // Code-unit offsets of the whole match in the searched text: the first unit and one past
        // the last. Both 0 when nothing was found.
        size_t GetStart() const;
        size_t GetEnd() const;
        // Replaces out with the whole match, then every capture group in order. A group that took
        // no part in the match gives an empty text. Nothing found: out becomes empty.
        void GetMatchingStrings(Array<String>& out) const;
        // Replaces out with the fields of the whole searched text between matches of the
        // expression, from the start of the text, whether or not this match was found:
        // - limit 0 means no limit; limit n > 0 gives at most n fields, the last one holding the
        //   rest of the text unsplit.
        // - An empty match at the start of the current field, or at the very end of the text, is
        //   no separator: the search moves on by one character (one code unit, or a surrogate pair
        //   under Unicode). So an empty pattern splits "abc" into a, b, c.
        // - An empty text gives no fields; a text without any match gives one field, all of it.
        // - A separator at the end of the text gives a final empty field ("a," gives a and "").
        // - Capture groups are not added to the fields.
        void GetSplitStrings(Array<String>& out, unsigned limit) const;

      private:
        friend class xrRegex;
        std::shared_ptr<const xrRegexCode> m_code;
        String m_text;
        std::vector<size_t> m_offsets;  // start, end per group; SIZE_MAX for a group not set
        bool m_found = false;
    };

    xrRegex();
    ~xrRegex();
    xrRegex(xrRegex&&) noexcept;
    xrRegex& operator=(xrRegex&&) noexcept;
    xrRegex(const xrRegex&) = delete;
    xrRegex& operator=(const xrRegex&) = delete;

    // Compiles the pattern (a null pattern is the empty one), replacing the previous expression
    // and dropping any replacement. A pattern that does not compile throws
    // "Regular expression error at offset <n>: <PCRE2's message>" and leaves the object without
    // an expression (IsCompiled() false).
    void SetExpression(const String& pattern, int options);
    // As SetExpression, and keeps the replacement for Substitute.
    void SetSubstitution(const String& pattern, const String& replacement, int options);
    bool IsCompiled() const { return m_code != nullptr; }
    int GetOptions() const { return m_options; }

    // The first match anywhere in the text. The Match keeps a copy of the text.
    Match Search(const String& text) const;
    // Whether the expression matches anywhere in the text. Allocates nothing per call: it reuses
    // the object's match-data block (and the thread's JIT stack, made on its first match).
    bool IsMatch(std::u16string_view text) const;
    // The text with the first match (every match with Global) replaced by the replacement given to
    // SetSubstitution (empty after SetExpression). The replacement may use $1, ${1}, ${name} and
    // $$; a group that took no part in the match substitutes as empty. No match: the text
    // unchanged. A bad replacement, or a match that fails, throws
    // "Regular expression substitution failed: <PCRE2's message>".
    String Substitute(const String& text) const;
    // Substitute into `out`, whose storage is reused (the text itself when nothing matched). A
    // single replacement without `$` is spliced in after one match.
    void SubstituteInto(std::u16string_view text, String& out) const;

    // Searching, matching or substituting without an expression throws
    // "Regular expression is not compiled". A match that exceeds a limit, or fails otherwise,
    // throws "Regular expression match failed: <PCRE2's message>", e.g. "match limit exceeded".

  private:
    struct MatchDataFree {
        void operator()(pcre2_real_match_data_16* data) const noexcept;
    };
    using MatchDataPtr = std::unique_ptr<pcre2_real_match_data_16, MatchDataFree>;

    void compile(const String& pattern, int options);
    // pcre2_substitute into `result`; the number of replacements made (0: `result` is the text).
    int substituteInto(std::u16string_view text, std::u16string& result) const;
    const xrRegexCode& code() const;

    std::shared_ptr<const xrRegexCode> m_code;
    String m_replacement;
    // Only the first match is replaced, by a replacement that refers to nothing.
    bool m_literalFirst = false;
    int m_options = 0;
    mutable MatchDataPtr m_matchData;  // scratch of Search, IsMatch and Substitute
};

}  // namespace strand
