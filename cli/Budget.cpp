// The step budget options shared by strand run and strand eval.
#include <CLI/CLI.hpp>

#include <chrono>
#include <cmath>

#include "Commands.h"
#include "host/Context.h"

namespace strand::cli {

void addBudgetOptions(CLI::App& command, uint64_t& maxSteps, double& timeout) {
    command
        .add_option("--max-steps", maxSteps,
                    "Stop a script run after N steps (turns of its loops and runs of eval) with an error")
        ->check(CLI::Range(uint64_t(1), UINT64_MAX));
    command
        .add_option("--timeout", timeout, "Stop a script run that lasts longer than SECONDS with an error")
        ->check(CLI::Range(0.001, 1e6));
}

void applyBudget(ExpressionContext& ctx, uint64_t maxSteps, double timeout) {
    ctx.setStepLimit(maxSteps);
    if (timeout > 0)
        ctx.setTimeLimit(std::chrono::nanoseconds(static_cast<int64_t>(std::llround(timeout * 1e9))));
}

}  // namespace strand::cli
