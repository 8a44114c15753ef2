// Component JSON through `strand params check`: the loader, the parameter model and its rules, the
// text expansion. Oracle: no crash, no leak, no hang; every outcome is a verdict or a message.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <string>
#include <vector>

#include "Commands.h"
#include "FuzzSupport.h"
#include "host/Exception.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The verdicts are not the point; keep the fuzzer's own output readable.
    if (!std::freopen("/dev/null", "w", stdout))
        return 1;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Built once: making the command's options cost more than most checks. The arguments are the same
    // every run, so nothing but the file's content differs from one input to the next.
    static int status = 0;
    static CLI::App app("strand");
    static const bool built = (strand::cli::addParamsCommand(app, status), true);
    (void)built;
    strand::fuzz::TempFile component(data, size);
    app.clear();
    std::vector<std::string> args = {component.path(), "check", "params"};  // CLI11 reads them backwards
    try {
        app.parse(args);
    } catch (const CLI::ParseError&) {
    } catch (const strand::Exception&) {  // the command reports these as main() does
    } catch (const std::bad_alloc&) {
    }
    std::fflush(stdout);
    return 0;
}
