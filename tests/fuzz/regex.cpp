// Patterns and subjects through rmatch, rsplit, rsubst, LIKE and RLIKE. The first byte chooses the
// operation; the rest is the pattern and the subject, split at the first zero byte. Oracle: every
// run ends with a value or a message (a match limit, a bad pattern), never a crash, a leak or a hang.
#include <string>

#include "FuzzSupport.h"
#include "ScriptRun.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    const std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    const size_t cut = rest.find('\0');
    const std::string pattern = rest.substr(0, cut);
    const std::string subject = cut == std::string::npos ? std::string() : rest.substr(cut + 1);
    const auto p = strand::fuzz::quoted(strand::String::fromUtf8(pattern).view());
    const auto s = strand::fuzz::quoted(strand::String::fromUtf8(subject).view());
    std::u16string script;
    switch (data[0] % 6) {
        case 0:
            script = u"rmatch(" + s + u", " + p + u")";
            break;
        case 1:
            script = u"rsplit(" + s + u", " + p + u")";
            break;
        case 2:
            script = u"rsubst(" + s + u", " + p + u", '<$0>')";
            break;
        case 3:
            script = u"rsubst(" + s + u", " + p + u", '-', 'gi')";
            break;
        case 4:
            script = s + u" LIKE " + p;
            break;
        default:
            script = s + u" RLIKE " + p;
            break;
    }
    strand::fuzz::runScript(strand::String(std::u16string_view(script)));
    return 0;
}
