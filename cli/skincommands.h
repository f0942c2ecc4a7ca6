// The subcommands that look at a whole skin: sheet, diff and check.
#pragma once

#include <optional>
#include <string>

#include <CLI/CLI.hpp>

#include "archive/sheet.h"

namespace tavro::cli {

struct SkinCommandOptions {
    std::string source, output, background, order = "name";
    int columns = 0;
    std::string a, b, diffSheet;
    std::string folder;
};

// The usage lines of the three commands, by name.
extern const char* const kSheetUsage;
extern const char* const kCheckUsage;
extern const char* const kDiffUsage;

// Adds the three subcommands to the parser, filling `options`.
void AddSkinCommands(CLI::App& app, SkinCommandOptions& options);

// Runs `command` when it is one of the three; none otherwise.
std::optional<int> RunSkinCommand(const std::string& command, const SkinCommandOptions& options);

int RunSheet(const SkinCommandOptions& options);
int RunDiff(const SkinCommandOptions& options);
int RunCheck(const SkinCommandOptions& options);

}  // namespace tavro::cli
