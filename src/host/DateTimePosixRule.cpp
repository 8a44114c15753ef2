// Compiled as C++17 (see DateTimePosixRule.h).
#include "host/DateTimePosixRule.h"

#include <date/ptz.h>

namespace strand::detail {

namespace {

RuleReading readingOf(const date::sys_info& info) {
    return {int32_t(info.offset.count()), info.save.count() != 0, info.abbrev};
}

class LibraryRule final : public PosixRule {
  public:
    explicit LibraryRule(const std::string& text) : m_zone(text) {}

    RuleReading atUtc(int64_t s) const override {
        return readingOf(m_zone.get_info(date::sys_seconds(std::chrono::seconds(s))));
    }

    RuleLocalReading atLocal(int64_t s) const override {
        const date::local_info info = m_zone.get_info(date::local_seconds(std::chrono::seconds(s)));
        RuleLocalReading r;
        r.before = readingOf(info.first);
        switch (info.result) {
            case date::local_info::unique:
                r.after = r.before;
                return r;
            case date::local_info::nonexistent:
                r.kind = RuleLocalReading::Kind::Skipped;
                break;
            case date::local_info::ambiguous:
                r.kind = RuleLocalReading::Kind::Repeated;
                break;
        }
        r.after = readingOf(info.second);
        return r;
    }

  private:
    Posix::time_zone m_zone;
};

}  // namespace

std::unique_ptr<PosixRule> PosixRule::parse(const std::string& text) {
    try {
        return std::make_unique<LibraryRule>(text);
    } catch (const std::exception&) {
        return nullptr;
    }
}

}  // namespace strand::detail
