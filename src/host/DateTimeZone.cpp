#include "host/DateTimeZone.h"

#include <date/tz.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>

#include "host/DateTimePosixRule.h"

namespace strand {

namespace {

using Seconds = std::chrono::seconds;
using SysSeconds = date::sys_seconds;
using LocalSeconds = date::local_seconds;

// Where the system keeps its tz database: the library reads the same directory.
constexpr const char* kZoneInfoDir = "/usr/share/zoneinfo";
constexpr int64_t kSecondsPerDay = 86400;

TimeZone::Reading readingOf(const date::sys_info& info) {
    // The system database gives no exact saving, only whether there is one.
    return {int32_t(info.offset.count()), info.save.count() != 0, info.abbrev};
}

TimeZone::Reading readingOf(const detail::RuleReading& r) {
    return {r.offset, r.dst, r.abbrev};
}

TimeZone::LocalReading readingOf(const detail::RuleLocalReading& r) {
    using Kind = TimeZone::LocalReading::Kind;
    const Kind kind = r.kind == detail::RuleLocalReading::Kind::Unique    ? Kind::Unique
                      : r.kind == detail::RuleLocalReading::Kind::Skipped ? Kind::Skipped
                                                                          : Kind::Repeated;
    return {kind, readingOf(r.before), readingOf(r.after)};
}

TimeZone::LocalReading readingOf(const date::local_info& info) {
    TimeZone::LocalReading r;
    r.before = readingOf(info.first);
    switch (info.result) {
        case date::local_info::unique:
            r.kind = TimeZone::LocalReading::Kind::Unique;
            r.after = r.before;
            return r;
        case date::local_info::nonexistent:
            r.kind = TimeZone::LocalReading::Kind::Skipped;
            break;
        case date::local_info::ambiguous:
            r.kind = TimeZone::LocalReading::Kind::Repeated;
            break;
    }
    r.after = readingOf(info.second);
    return r;
}

class FixedZone final : public TimeZone {
  public:
    FixedZone(String name, int32_t offset) : TimeZone(name), m_reading{offset, false, name.toUtf8()} {}
    Reading atUtc(int64_t) const override { return m_reading; }
    LocalReading atLocal(int64_t) const override {
        return {LocalReading::Kind::Unique, m_reading, m_reading};
    }

  private:
    Reading m_reading;
};

// A zone given by a POSIX rule (a TZ value such as "EST5EDT,M3.2.0,M11.1.0").
class RuleZone final : public TimeZone {
  public:
    RuleZone(String name, std::unique_ptr<detail::PosixRule> rule)
        : TimeZone(std::move(name)), m_rule(std::move(rule)) {}
    Reading atUtc(int64_t s) const override { return readingOf(m_rule->atUtc(s)); }
    LocalReading atLocal(int64_t s) const override { return readingOf(m_rule->atLocal(s)); }

  private:
    std::unique_ptr<detail::PosixRule> m_rule;
};

// The rule a TZif file of version 2 or later gives, on its last line, for the times after its last
// listed change (the system's files list changes only up to 2037).
std::unique_ptr<detail::PosixRule> footerRule(const std::string& name) {
    std::ifstream file(std::string(kZoneInfoDir) + "/" + name, std::ios::binary);
    if (!file)
        return nullptr;
    std::ostringstream content;
    content << file.rdbuf();
    const std::string data = content.str();
    if (data.size() < 6 || data.compare(0, 4, "TZif") != 0 || data[4] < '2' || data.back() != '\n')
        return nullptr;
    const size_t start = data.rfind('\n', data.size() - 2);
    if (start == std::string::npos)
        return nullptr;
    const std::string rule = data.substr(start + 1, data.size() - start - 2);
    return rule.empty() ? nullptr : detail::PosixRule::parse(rule);
}

class DatabaseZone final : public TimeZone {
  public:
    DatabaseZone(String name, const date::time_zone* zone) : TimeZone(std::move(name)), m_zone(zone) {
        m_footer = footerRule(std::string(zone->name()));
        if (m_footer) {
            // The footer takes over at the last change the file lists.
            const date::sys_info last = zone->get_info(date::sys_days(date::year(9999) / 1 / 1));
            m_footerFrom = last.begin.time_since_epoch().count();
        }
    }
    Reading atUtc(int64_t s) const override {
        const SysSeconds t{Seconds(s)};
        if (m_footer && s >= m_footerFrom)
            return readingOf(m_footer->atUtc(s));
        return readingOf(m_zone->get_info(t));
    }
    LocalReading atLocal(int64_t s) const override {
        const LocalSeconds t{Seconds(s)};
        // A day's margin keeps the local times around the last listed change with the database.
        if (m_footer && s >= m_footerFrom + kSecondsPerDay)
            return readingOf(m_footer->atLocal(s));
        return readingOf(m_zone->get_info(t));
    }

  private:
    const date::time_zone* m_zone;
    std::unique_ptr<detail::PosixRule> m_footer;
    int64_t m_footerFrom = 0;
};

bool isAsciiName(std::u16string_view name) {
    if (name.empty() || name.size() > 256)
        return false;
    for (char16_t c : name) {
        if (c <= u' ' || c > u'~')
            return false;
    }
    return true;
}

std::string narrow(std::u16string_view name) {
    return std::string(name.begin(), name.end());
}

// Every zone made so far, by the name it was asked for: zones are never freed.
class ZoneRegistry {
  public:
    static ZoneRegistry& instance() {
        static ZoneRegistry* registry = new ZoneRegistry();
        return *registry;
    }

    const TimeZone* find(std::u16string_view name) {
        // One zone for each offset however it is written; Z and +00:00 are UTC.
        int32_t offset = 0;
        String key(name);
        if (name == u"Z" || (parseUtcOffset(name, offset) && offset == 0))
            key = u"UTC";
        else if (parseUtcOffset(name, offset))
            key = formatUtcOffset(offset, true);
        std::lock_guard lock(m_mutex);
        if (auto it = m_zones.find(key); it != m_zones.end())
            return it->second.get();
        std::unique_ptr<TimeZone> zone = make(key.view());
        if (!zone)
            return nullptr;
        return m_zones.emplace(key, std::move(zone)).first->second.get();
    }

    // A zone for a TZ value: a name, else a POSIX rule, else UTC.
    const TimeZone& forTzVariable(std::u16string_view value) {
        if (value.starts_with(u':'))
            value.remove_prefix(1);
        const std::u16string_view dir = u"/usr/share/zoneinfo/";
        if (value.starts_with(dir))
            value.remove_prefix(dir.size());
        if (const TimeZone* zone = find(value))
            return *zone;
        if (isAsciiName(value)) {
            std::lock_guard lock(m_mutex);
            const String key = String(u"TZ=").append(value);
            if (auto it = m_zones.find(key); it != m_zones.end())
                return *it->second;
            if (std::unique_ptr<detail::PosixRule> rule = detail::PosixRule::parse(narrow(value))) {
                auto zone = std::make_unique<RuleZone>(String(value), std::move(rule));
                return *m_zones.emplace(key, std::move(zone)).first->second;
            }
        }
        return TimeZone::utc();
    }

    const TimeZone& system() {
        std::call_once(m_systemOnce, [this] {
            try {
                const date::time_zone* zone = date::current_zone();
                m_system = find(String::fromUtf8(zone->name()).view());
            } catch (const std::exception&) {
            }
            if (!m_system)
                m_system = &TimeZone::utc();
        });
        return *m_system;
    }

  private:
    std::unique_ptr<TimeZone> make(std::u16string_view name) {
        int32_t offset = 0;
        if (name == u"UTC")
            return std::make_unique<FixedZone>(String(u"UTC"), 0);
        if (parseUtcOffset(name, offset))
            return std::make_unique<FixedZone>(formatUtcOffset(offset, true), offset);
        if (!isAsciiName(name) || name.find(u"..") != std::u16string_view::npos)
            return nullptr;
        try {
            return std::make_unique<DatabaseZone>(String(name), date::locate_zone(narrow(name)));
        } catch (const std::exception&) {
            return nullptr;
        }
    }

    std::mutex m_mutex;
    std::map<String, std::unique_ptr<TimeZone>> m_zones;
    std::once_flag m_systemOnce;
    const TimeZone* m_system = nullptr;
};

bool digits(std::u16string_view text, size_t at, size_t count, int32_t& value) {
    value = 0;
    for (size_t i = at; i < at + count; ++i) {
        if (i >= text.size() || text[i] < u'0' || text[i] > u'9')
            return false;
        value = value * 10 + (text[i] - u'0');
    }
    return true;
}

}  // namespace

bool parseUtcOffset(std::u16string_view text, int32_t& seconds) {
    if (text == u"Z") {
        seconds = 0;
        return true;
    }
    if (text.size() < 3 || (text[0] != u'+' && text[0] != u'-'))
        return false;
    int32_t hours = 0, minutes = 0;
    if (!digits(text, 1, 2, hours))
        return false;
    const size_t rest = text.size() - 3;
    const bool colon = rest == 3 && text[3] == u':';
    if (colon ? !digits(text, 4, 2, minutes) : (rest == 2 ? !digits(text, 3, 2, minutes) : rest != 0))
        return false;
    if (hours > 18 || minutes > 59 || (hours == 18 && minutes > 0))
        return false;
    seconds = (hours * 3600 + minutes * 60) * (text[0] == u'-' ? -1 : 1);
    return true;
}

String formatUtcOffset(int32_t seconds, bool colon) {
    const int32_t minutes = (seconds < 0 ? -seconds : seconds) / 60;
    char16_t text[7];
    size_t n = 0;
    text[n++] = seconds < 0 ? u'-' : u'+';
    text[n++] = char16_t(u'0' + minutes / 600);
    text[n++] = char16_t(u'0' + minutes / 60 % 10);
    if (colon)
        text[n++] = u':';
    text[n++] = char16_t(u'0' + minutes % 60 / 10);
    text[n++] = char16_t(u'0' + minutes % 10);
    return String(text, n);
}

const TimeZone* TimeZone::find(std::u16string_view name) {
    return ZoneRegistry::instance().find(name);
}

const TimeZone& TimeZone::utc() {
    static const TimeZone* zone = ZoneRegistry::instance().find(u"UTC");
    return *zone;
}

const TimeZone& TimeZone::local() {
    // Each thread remembers the TZ value it saw last and the zone it gave.
    thread_local std::string lastValue;
    thread_local bool lastSet = false;
    thread_local const TimeZone* lastZone = nullptr;
    const char* value = std::getenv("TZ");
    if (lastZone && lastSet == (value != nullptr) && (!value || lastValue == value))
        return *lastZone;
    lastSet = value != nullptr;
    lastValue = value ? value : "";
    if (!value)
        lastZone = &ZoneRegistry::instance().system();
    else
        lastZone = &ZoneRegistry::instance().forTzVariable(String::fromUtf8(lastValue).view());
    return *lastZone;
}

}  // namespace strand
