#pragma once
#include <cstdint>
#include <string_view>

// The subcommands of strand. Each adds itself to the application and sets the exit status it ends with.

namespace CLI {
class App;
}

namespace strand {
class ExpressionContext;
}

namespace strand::cli {

void addCheckCommand(CLI::App& app, int& status);
void addEvalCommand(CLI::App& app, int& status);
void addRunCommand(CLI::App& app, int& status);
void addFunctionsCommand(CLI::App& app, int& status);
void addParamsCommand(CLI::App& app, int& status);
void addReplCommand(CLI::App& app, int& status);

// --max-steps N and --timeout SECONDS: the step budget of one script run (run: of each record's).
void addBudgetOptions(CLI::App& command, uint64_t& maxSteps, double& timeout);
void applyBudget(ExpressionContext& ctx, uint64_t maxSteps, double timeout);

// The table of strand functions, limited to the names that start with `prefix` (any letter case).
void printFunctionTable(std::string_view prefix);

}  // namespace strand::cli
