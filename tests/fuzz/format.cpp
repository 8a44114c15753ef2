// `format` with a fuzzed directive text and a fuzzed number. Oracle: for a lone floating-point
// directive that C accepts (%e %E %f %g %G with flags, width and precision of sensible size), the
// result equals C's snprintf in the "C" locale byte for byte; any other directive ends with a value or
// a message, never a crash or a hang.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <regex>
#include <string>

#include "FuzzSupport.h"
#include "ScriptRun.h"
#include "host/Format.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < sizeof(double))
        return 0;
    double number;
    std::memcpy(&number, data, sizeof number);
    const std::string directive(reinterpret_cast<const char*>(data) + sizeof number, size - sizeof number);
    const strand::String text =
        strand::fuzz::textOf(reinterpret_cast<const uint8_t*>(directive.data()), directive.size());
    strand::String call(u"format(");
    call.append(strand::fuzz::quoted(text.view()));
    call.append(u", ");
    strand::String literal;
    if (std::isnan(number))
        call.append(u"0/0");
    else if (std::isinf(number))
        call.append(number > 0 ? u"1/0" : u"-1/0");
    else {
        char digits[64];
        std::snprintf(digits, sizeof digits, "%.17g", number);
        call.append(strand::String::fromUtf8(digits).view());
    }
    call.append(u")");
    const std::optional<strand::String> ours = strand::fuzz::runScript(call);

    static const std::regex lone(R"(^%[-+ #0]{0,5}[0-9]{0,3}(\.[0-9]{0,3})?[eEfgG]$)");
    if (!std::regex_match(directive, lone) || std::isnan(number))  // C spells NaN's sign as it finds it
        return 0;
    char theirs[2048];
    std::snprintf(theirs, sizeof theirs, directive.c_str(), number);
    if (!ours)
        strand::fuzz::finding("format refused a directive C accepts", directive);
    if (ours->toUtf8() != theirs)
        strand::fuzz::finding("format differs from snprintf", directive + " of " + std::to_string(number) +
                                                                  ": ours '" + ours->toUtf8() + "', C's '" +
                                                                  theirs + "'");
    return 0;
}
