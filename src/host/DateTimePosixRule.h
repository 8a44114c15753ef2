#pragma once
// PosixRule: a time zone given by a POSIX TZ rule ("EST5EDT,M3.2.0,M11.1.0"), read by the date
// library's rule zone. The library's rule header does not compile as C++20 (its names meet those of
// <chrono>), so this unit is compiled as C++17 and its interface uses only standard types.

#include <cstdint>
#include <memory>
#include <string>

namespace strand::detail {

struct RuleReading {
    int32_t offset = 0;  // seconds east of UTC
    bool dst = false;
    std::string abbrev;
};

struct RuleLocalReading {
    enum class Kind { Unique, Skipped, Repeated };
    Kind kind = Kind::Unique;
    RuleReading before;
    RuleReading after;
};

class PosixRule {
  public:
    virtual ~PosixRule() = default;
    virtual RuleReading atUtc(int64_t utcSeconds) const = 0;
    virtual RuleLocalReading atLocal(int64_t localSeconds) const = 0;

    // The rule of a text, or null when the text is not a POSIX rule.
    static std::unique_ptr<PosixRule> parse(const std::string& text);
};

}  // namespace strand::detail
