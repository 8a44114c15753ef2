#pragma once
// NestingGuard: the one bound on evaluations that can re-enter themselves. A script that calls eval on
// itself, macro tokens that expand parameters whose tokens expand further parameters, embedded
// expressions whose results bring a tag back, parameter() reading a parameter whose value is a script,
// and groups whose verdicts ask their groups: each level holds a guard for as long as it runs, all of
// them counting on one counter per thread. The level past kMaxNesting is refused with a message naming
// what nested, so that a cycle or a runaway chain ends with an error instead of exhausting the stack.
//
//   NestingGuard guard(u"eval");                      // "eval nested too deeply: more than 64 levels"
//   NestingGuard guard(u"the text of parameter '%ls'", name);
//
// The description is formatted only when the level is refused.

#include <cstdint>

#include "host/Exception.h"

namespace strand {

class NestingGuard {
  public:
    static constexpr int32_t kMaxNesting = 64;

    template <typename... A>
    explicit NestingGuard(const char16_t* what, const A&... args) {
        if (t_depth >= kMaxNesting)
            throw tooDeep(formatString(std::u16string_view(what), args...));
        ++t_depth;
    }
    ~NestingGuard() { --t_depth; }
    NestingGuard(const NestingGuard&) = delete;
    NestingGuard& operator=(const NestingGuard&) = delete;

    // The levels held on this thread now.
    static int32_t depth() noexcept { return t_depth; }

  private:
    static Exception tooDeep(const String& what) {
        return Exception(u"%ls nested too deeply: more than %d levels", what, kMaxNesting);
    }

    static inline thread_local int32_t t_depth = 0;
};

}  // namespace strand
