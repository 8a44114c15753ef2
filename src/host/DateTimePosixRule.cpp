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

// A rule without daylight-saving time: "IST-5:30", "<+03>-3". The library's rule zone leaves the
// saving of such a rule unset, so it is read here.
class ConstantRule final : public PosixRule {
  public:
    explicit ConstantRule(RuleReading reading) : m_reading(std::move(reading)) {}
    RuleReading atUtc(int64_t) const override { return m_reading; }
    RuleLocalReading atLocal(int64_t) const override {
        return {RuleLocalReading::Kind::Unique, m_reading, m_reading};
    }

  private:
    RuleReading m_reading;
};

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// The standard name and offset at the start of a rule; `end` receives where they end.
bool readStandardTime(const std::string& text, RuleReading& reading, size_t& end) {
    size_t i = 0;
    if (!text.empty() && text[0] == '<') {
        i = text.find('>');
        if (i == std::string::npos || i < 2)
            return false;
        reading.abbrev = text.substr(1, i - 1);
        ++i;
    } else {
        while (i < text.size() && ((text[i] >= 'A' && text[i] <= 'Z') || (text[i] >= 'a' && text[i] <= 'z')))
            ++i;
        if (i < 3)
            return false;
        reading.abbrev = text.substr(0, i);
    }
    int sign = -1;  // POSIX offsets count west of Greenwich
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        sign = text[i++] == '-' ? 1 : -1;
    int32_t parts[3] = {0, 0, 0};
    for (int part = 0; part < 3; ++part) {
        const size_t start = i;
        while (i < text.size() && isDigit(text[i]) && i - start < 3)
            parts[part] = parts[part] * 10 + (text[i++] - '0');
        if (i == start || (part > 0 && parts[part] > 59) || parts[0] > 24)
            return false;
        if (i >= text.size() || text[i] != ':')
            break;
        ++i;
    }
    reading.offset = sign * (parts[0] * 3600 + parts[1] * 60 + parts[2]);
    end = i;
    return true;
}

}  // namespace

std::unique_ptr<PosixRule> PosixRule::parse(const std::string& text) {
    RuleReading standard;
    size_t end = 0;
    if (!readStandardTime(text, standard, end))
        return nullptr;
    if (end == text.size())
        return std::make_unique<ConstantRule>(std::move(standard));
    try {
        return std::make_unique<LibraryRule>(text);
    } catch (const std::exception&) {
        return nullptr;
    }
}

}  // namespace strand::detail
