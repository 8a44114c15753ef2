// strand: runs and checks StrandScript from the command line.

#include <CLI/CLI.hpp>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

#include "Commands.h"
#include "ScriptSource.h"
#include "host/Exception.h"

namespace {

constexpr int kUsageError = 2;

// A standard descriptor that the caller closed is opened on /dev/null the wrong way round (standard
// input for writing, the outputs for reading): the files the command opens can never take its number
// (a run would otherwise read its own output as its input), and every use of it fails as a use of a
// closed descriptor does, so that a command that needs it says so.
void guardStandardDescriptors() {
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        const int opened = open("/dev/null", fd == STDIN_FILENO ? O_WRONLY : O_RDONLY);
        if (opened >= 0 && opened != fd) {
            dup2(opened, fd);
            close(opened);
        }
    }
}

void report(const char* text) {
    std::fprintf(stderr, "strand: %s\n", text);
}

// Everything the command wrote must have reached its destination: a full disk or a closed output is
// a failure, not a success. A command that failed already said why.
int checkOutputs(int status) {
    const bool outFailed = std::fflush(stdout) != 0 || std::ferror(stdout);
    const int outError = errno;
    if (outFailed) {
        if (status == 0)
            std::fprintf(stderr, "strand: cannot write to standard output: %s\n", std::strerror(outError));
        status = kUsageError;
    }
    if (std::fflush(stderr) != 0 || std::ferror(stderr))
        status = kUsageError;
    return status;
}

int runCommand(int argc, char** argv) {
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
        return app.exit(e) == 0 ? 0 : kUsageError;
    } catch (const strand::Exception& e) {
        std::fputs("strand: ", stderr);
        strand::cli::writeUtf8(stderr, e.getErrorMessageBlock());
        std::fputc('\n', stderr);
        return kUsageError;
    }
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    guardStandardDescriptors();
    int status;
    try {
        status = runCommand(argc, argv);
    } catch (const std::bad_alloc&) {
        report("out of memory");
        status = kUsageError;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "strand: %s\n", e.what());
        status = kUsageError;
    }
    return checkOutputs(status);
}
