// strand: runs and checks StrandScript from the command line.

#include <CLI/CLI.hpp>

#include <cstdio>

#include "Commands.h"
#include "ScriptSource.h"
#include "host/Exception.h"

int main(int argc, char** argv) {
    CLI::App app{"strand: check and run StrandScript"};
    app.require_subcommand(1);
    int status = 0;
    strand::cli::addCheckCommand(app, status);
    strand::cli::addEvalCommand(app, status);
    strand::cli::addRunCommand(app, status);
    strand::cli::addFunctionsCommand(app, status);
    strand::cli::addParamsCommand(app, status);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? 0 : 2;
    } catch (const strand::Exception& e) {
        std::fputs("strand: ", stderr);
        strand::cli::writeUtf8(stderr, e.getErrorMessageBlock());
        std::fputc('\n', stderr);
        return 2;
    }
    std::fflush(stdout);
    return status;
}
