#include "host/DateTimeLocale.h"

#include <langinfo.h>
#include <locale.h>

#include <cstdlib>
#include <cwchar>
#include <mutex>
#include <string>
#include <vector>

namespace strand {

namespace {

// A wide text of the C library (32-bit code points) as 16-bit text.
String fromWide(const wchar_t* text, size_t length) {
    String out(String::View{});
    for (size_t i = 0; i < length; ++i) {
        const uint32_t c = uint32_t(text[i]);
        if (c >= 0x10000 && c <= 0x10FFFF) {
            out.append(char16_t(0xD800 + ((c - 0x10000) >> 10)));
            out.append(char16_t(0xDC00 + ((c - 0x10000) & 0x3FF)));
        } else {
            out.append(c <= 0xFFFF ? char16_t(c) : char16_t(0xFFFD));
        }
    }
    return out;
}

String wideItem(nl_item item, locale_t locale) {
    // The wide items hold wchar_t texts whatever the locale's encoding.
    const auto* text = reinterpret_cast<const wchar_t*>(nl_langinfo_l(item, locale));
    return text ? fromWide(text, std::wcslen(text)) : String::empty();
}

std::shared_ptr<const DateLocale> makeEnglish() {
    auto locale = std::make_shared<DateLocale>();
    locale->name = u"C";
    locale->dateFormat = u"%Y-%m-%d";
    locale->timeFormat = u"%H:%M:%S";
    locale->dateTimeFormat = u"%Y-%m-%d %H:%M:%S";
    locale->timeFormat12 = u"%I:%M:%S %p";
    const char16_t* months[12] = {u"January",   u"February", u"March",    u"April",
                                  u"May",       u"June",     u"July",     u"August",
                                  u"September", u"October",  u"November", u"December"};
    const char16_t* days[7] = {u"Sunday",   u"Monday", u"Tuesday", u"Wednesday",
                               u"Thursday", u"Friday", u"Saturday"};
    for (size_t i = 0; i < 12; ++i) {
        locale->months[i] = months[i];
        locale->shortMonths[i] = String(months[i]).substr(0, 3);
    }
    for (size_t i = 0; i < 7; ++i) {
        locale->days[i] = days[i];
        locale->shortDays[i] = String(days[i]).substr(0, 3);
    }
    locale->am = u"AM";
    locale->pm = u"PM";
    return locale;
}

std::shared_ptr<const DateLocale> read(const std::string& name, locale_t handle) {
    auto locale = std::make_shared<DateLocale>();
    locale->name = String::fromUtf8(name);
    locale->dateFormat = wideItem(_NL_WD_FMT, handle);
    locale->timeFormat = wideItem(_NL_WT_FMT, handle);
    locale->dateTimeFormat = wideItem(_NL_WD_T_FMT, handle);
    locale->timeFormat12 = wideItem(_NL_WT_FMT_AMPM, handle);
    for (int i = 0; i < 12; ++i) {
        locale->months[i] = wideItem(nl_item(_NL_WMON_1 + i), handle);
        locale->shortMonths[i] = wideItem(nl_item(_NL_WABMON_1 + i), handle);
    }
    for (int i = 0; i < 7; ++i) {
        locale->days[i] = wideItem(nl_item(_NL_WDAY_1 + i), handle);
        locale->shortDays[i] = wideItem(nl_item(_NL_WABDAY_1 + i), handle);
    }
    locale->am = wideItem(_NL_WAM_STR, handle);
    locale->pm = wideItem(_NL_WPM_STR, handle);
    return locale;
}

bool isCName(std::u16string_view name) {
    return name == u"C" || name == u"POSIX" || name == u"C.UTF-8" || name == u"C.utf8";
}

// A locale name as the C library takes it: printable ASCII without '/', so that no name can reach a
// file outside the locale directory.
bool isPlainName(std::u16string_view name) {
    if (name.empty() || name.size() > 100)
        return false;
    for (char16_t c : name) {
        if (c <= u' ' || c > u'~' || c == u'/')
            return false;
    }
    return true;
}

struct CurrentLocale {
    std::mutex mutex;
    std::shared_ptr<const DateLocale> locale = DateLocale::english();
};

CurrentLocale& currentLocale() {
    static CurrentLocale* current = new CurrentLocale();
    return *current;
}

// The locale objects of the platform formatter: "C" once, the user's default one for each value of
// the environment it was made from.
class PlatformLocales {
  public:
    // Formats under the lock, so that no other thread frees the locale object meanwhile.
    String format(const wchar_t* format, const std::tm& tm, bool user) {
        std::lock_guard lock(m_mutex);
        locale_t locale = get(user);
        if (!locale)
            return String::empty();
        // A text longer than the buffer is retried in a larger one; one that never fits is empty.
        for (size_t size : {size_t(128), size_t(4096)}) {
            std::wstring buffer(size, L'\0');
            const size_t n = wcsftime_l(buffer.data(), size, format, &tm, locale);
            if (n > 0)
                return fromWide(buffer.data(), n);
        }
        return String::empty();
    }

  private:
    locale_t get(bool user) {
        if (!user) {
            if (!m_c)
                m_c = newlocale(LC_ALL_MASK, "C", locale_t(0));
            return m_c;
        }
        const std::string key = environmentName();
        if (m_user && key == m_userKey)
            return m_user;
        locale_t fresh = newlocale(LC_ALL_MASK, "", locale_t(0));
        if (!fresh)  // an environment that names no installed locale formats as "C"
            fresh = newlocale(LC_ALL_MASK, "C", locale_t(0));
        if (m_user)
            freelocale(m_user);
        m_user = fresh;
        m_userKey = key;
        return m_user;
    }

    static std::string environmentName() {
        for (const char* variable : {"LC_ALL", "LC_TIME", "LANG"}) {
            const char* value = std::getenv(variable);
            if (value && *value)
                return std::string(variable) + "=" + value;
        }
        return "";
    }

    std::mutex m_mutex;
    locale_t m_c = locale_t(0);
    locale_t m_user = locale_t(0);
    std::string m_userKey;
};

}  // namespace

const std::shared_ptr<const DateLocale>& DateLocale::english() {
    static const auto* locale = new std::shared_ptr<const DateLocale>(makeEnglish());
    return *locale;
}

std::shared_ptr<const DateLocale> DateLocale::load(std::u16string_view name) {
    if (isCName(name))
        return english();
    if (!isPlainName(name))
        return nullptr;
    const std::string given(name.begin(), name.end());
    std::vector<std::string> candidates;
    if (given.find('.') == std::string::npos) {
        const size_t at = given.find('@');  // a modifier stays after the encoding: de_DE.UTF-8@euro
        const std::string base = given.substr(0, at),
                          modifier = at == std::string::npos ? "" : given.substr(at);
        candidates.push_back(base + ".UTF-8" + modifier);
        candidates.push_back(base + ".utf8" + modifier);
    }
    candidates.push_back(given);
    for (const std::string& candidate : candidates) {
        locale_t handle = newlocale(LC_ALL_MASK, candidate.c_str(), locale_t(0));
        if (!handle)
            continue;
        std::shared_ptr<const DateLocale> locale = read(candidate, handle);
        freelocale(handle);
        return locale;
    }
    return nullptr;
}

std::shared_ptr<const DateLocale> DateLocale::current() {
    CurrentLocale& current = currentLocale();
    std::lock_guard lock(current.mutex);
    return current.locale;
}

void DateLocale::setCurrent(std::shared_ptr<const DateLocale> locale) {
    CurrentLocale& current = currentLocale();
    std::lock_guard lock(current.mutex);
    current.locale = std::move(locale);
}

String formatPlatformTime(const wchar_t* format, const std::tm& tm, bool userLocale) {
    static PlatformLocales* locales = new PlatformLocales();
    return locales->format(format, tm, userLocale);
}

}  // namespace strand
