#pragma once
// TimeZone: the offset from UTC that a zone has at a moment, and what a local clock time means in it.
// Zones come from the system's tz database (/usr/share/zoneinfo, IANA names such as "Europe/Berlin"),
// beyond the last change the database lists from the rule the zone's file gives for later years;
// fixed offsets are written "+hh:mm" or "-hh:mm", and "UTC" (also "Z") is the offset 0.
//
// The local zone is the one the TZ variable names (a database name, ":name", or a POSIX rule such as
// "CET-1CEST,M3.5.0,M10.5.0/3"; an empty or unknown TZ is UTC) or, without TZ, /etc/localtime. It is
// looked up again whenever TZ changes.
//
// Zones live as long as the process: a zone pointer never dangles, and equal names give one zone.

#include <cstdint>
#include <string>
#include <string_view>

#include "host/String.h"

namespace strand {

class TimeZone {
  public:
    virtual ~TimeZone() = default;

    // What the zone says at one moment: seconds east of UTC, whether daylight-saving time is in
    // force, and the abbreviation ("EST", "CEST", "+02:00").
    struct Reading {
        int32_t offset = 0;
        bool dst = false;
        std::string abbrev;
    };
    // What a local clock time means: one moment (Unique), none because the clock skipped it (Skipped),
    // or two because the clock went back over it (Repeated). `before` holds the reading in force before
    // the change, `after` the one after it; for a unique time both are the same.
    struct LocalReading {
        enum class Kind { Unique, Skipped, Repeated };
        Kind kind = Kind::Unique;
        Reading before;
        Reading after;
    };

    const String& name() const noexcept { return m_name; }
    virtual Reading atUtc(int64_t utcSeconds) const = 0;
    virtual LocalReading atLocal(int64_t localSeconds) const = 0;

    // The zone of a name: a database name, "UTC", "Z", or an offset "+hh:mm", "-hh:mm", "+hhmm" or
    // "+hh" (up to 18 hours); null for any other name.
    static const TimeZone* find(std::u16string_view name);
    static const TimeZone& local();
    static const TimeZone& utc();

  protected:
    explicit TimeZone(String name) : m_name(std::move(name)) {}

  private:
    String m_name;
};

// The offset of a text "+hh:mm", "-hh:mm", "+hhmm", "+hh" (hours up to 18, minutes up to 59) or "Z",
// in seconds east of UTC; false for any other text.
bool parseUtcOffset(std::u16string_view text, int32_t& seconds);
// "+hh:mm" for an offset in seconds (seconds of the minute dropped).
String formatUtcOffset(int32_t seconds, bool colon);

}  // namespace strand
