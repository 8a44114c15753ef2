// strand: runs and checks StrandScript from the command line.

#include <CLI/CLI.hpp>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <new>
#include <string_view>
#include <vector>

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

// The exit statuses of every command.
constexpr const char* kExitStatuses =
    "Exit status: 0 done; 1 a record or the script failed; 2 the command line or an input or output\n"
    "cannot be used; 3 the script halted the run (haltprotocol).";

// Edits (insertions, deletions, changes) from one word to the other.
size_t editDistance(std::string_view a, std::string_view b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// A first word that names no command gets the nearest command's name as a suggestion.
bool refuseUnknownCommand(const CLI::App& app, int argc, char** argv) {
    if (argc < 2 || argv[1][0] == '-')
        return false;
    const std::string word = argv[1];
    std::string nearest;
    size_t best = SIZE_MAX;
    for (const CLI::App* command : app.get_subcommands({})) {
        if (command->get_name() == word)
            return false;
        const size_t distance = editDistance(word, command->get_name());
        if (distance < best) {
            best = distance;
            nearest = command->get_name();
        }
    }
    if (best <= 2)
        std::fprintf(stderr, "strand: unknown command '%s'; did you mean '%s'?\n", word.c_str(),
                     nearest.c_str());
    else
        std::fprintf(stderr, "strand: unknown command '%s'; see 'strand --help'\n", word.c_str());
    return true;
}

// Everything the command wrote must have reached its destination: a full disk or a closed output is
// a failure, not a success. A command that failed already said why.
int checkOutputs(int status) {
    const bool outFailed = std::fflush(stdout) != 0 || std::ferror(stdout);
    const int outError = errno;
    // The reader of a pipe went away (`| head`): what it wanted it had.
    if (outFailed && outError == EPIPE)
        return status;
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
    app.set_version_flag("--version", std::string("strand ") + STRAND_VERSION);
    app.footer(kExitStatuses);
    int status = 0;
    strand::cli::addCheckCommand(app, status);
    strand::cli::addEvalCommand(app, status);
    strand::cli::addRunCommand(app, status);
    strand::cli::addFunctionsCommand(app, status);
    strand::cli::addParamsCommand(app, status);
    strand::cli::addReplCommand(app, status);
    if (refuseUnknownCommand(app, argc, argv))
        return kUsageError;
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        std::fprintf(stderr, "strand: %s\n", e.what());
        return kUsageError;
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
    // A closed pipe is an error of a write, not a signal that ends the process.
    std::signal(SIGPIPE, SIG_IGN);
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
