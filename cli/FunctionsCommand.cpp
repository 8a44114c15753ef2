// strand functions: the table of built-in functions, in registration order, with their argument
// bounds and families, marking those whose family is not implemented yet.

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <memory>
#include <string>

#include "Commands.h"
#include "JsonValues.h"
#include "functions/FunctionFactory.h"

namespace strand::cli {

namespace {

std::string bounds(const xrFunctionFactory::Entry& entry) {
    return xrFunctionFactory::DescribeBounds(entry.minArgs, entry.maxArgs);
}

}  // namespace

void printFunctionTable(std::string_view prefix) {
    std::string out;
    char line[160];
    for (const xrFunctionFactory::Entry& entry : xrFunctionFactory::AllFunctions()) {
        const std::string name = entry.name.toUtf8();
        if (name.size() < prefix.size() ||
            !std::equal(prefix.begin(), prefix.end(), name.begin(),
                        [](char a, char b) { return std::tolower(uint8_t(a)) == std::tolower(uint8_t(b)); }))
            continue;
        std::snprintf(line, sizeof line, "%-26s %-12s %-11s%s\n", name.c_str(), bounds(entry).c_str(),
                      entry.family, entry.factory ? "" : "not implemented yet");
        std::string text(line);
        // No trailing blanks on rows of implemented functions.
        while (text.size() > 1 && text[text.size() - 2] == ' ')
            text.erase(text.size() - 2, 1);
        out += text;
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
}

namespace {

void printJson() {
    std::string out = "[";
    bool first = true;
    for (const xrFunctionFactory::Entry& entry : xrFunctionFactory::AllFunctions()) {
        out += first ? "\n" : ",\n";
        first = false;
        out += "{\"name\":";
        writeString(entry.name, out);
        out += ",\"id\":" + std::to_string(entry.id);
        out += ",\"min\":" + std::to_string(entry.minArgs);
        out += ",\"max\":" + (entry.maxArgs < 0 ? std::string("null") : std::to_string(entry.maxArgs));
        out += ",\"family\":\"" + std::string(entry.family) + "\"";
        out += entry.factory ? ",\"implemented\":true}" : ",\"implemented\":false}";
    }
    out += "\n]\n";
    std::fwrite(out.data(), 1, out.size(), stdout);
}

}  // namespace

void addFunctionsCommand(CLI::App& app, int& status) {
    auto json = std::make_shared<bool>(false);
    auto* functions =
        app.add_subcommand("functions", "List the built-in functions and their argument counts");
    functions->add_flag("--json", *json, "Print the table as a JSON array");
    functions->callback([json, &status] {
        if (*json)
            printJson();
        else
            printFunctionTable({});
        status = 0;
    });
}

}  // namespace strand::cli
