#include "cli/skincommands.h"

#include <unistd.h>

#include <cstdio>

#include "archive/check.h"
#include "archive/diff.h"
#include "archive/iconnames.h"
#include "cli/commands.h"
#include "cli/terminal.h"
#include "imaging/errors.h"
#include "imaging/fileio.h"
#include "imaging/paths.h"

namespace tavro::cli {

const char* const kSheetUsage = "tavro sheet SOURCE OUT.png [--columns N] [--background RRGGBB] [--order name|slot]";
const char* const kCheckUsage = "tavro check FOLDER";
const char* const kDiffUsage = "tavro diff A B [--sheet OUT.png]";

namespace {

constexpr int kDiffSame = 0;
constexpr int kDiffDifferent = 1;
constexpr int kDiffTrouble = 2;

// A report's line; on a terminal a name's control characters are shown escaped, so
// that no name can retitle or colour it.
void PrintText(const std::string& text) {
    static const bool terminal = ::isatty(STDOUT_FILENO) == 1;
    const std::string line = (terminal ? EscapeControls(text) : text) + "\n";
    std::fwrite(line.data(), 1, line.size(), stdout);
}

// "RRGGBB" (an optional "#" before it) as opaque ARGB.
std::uint32_t ParseColour(const std::string& text) {
    const std::string digits = !text.empty() && text[0] == '#' ? text.substr(1) : text;
    if (digits.size() != 6 || digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
        throw UsageError("--background takes a colour as RRGGBB, such as 202020");
    }
    return 0xFF000000u | static_cast<std::uint32_t>(std::stoul(digits, nullptr, 16));
}

}  // namespace

void AddSkinCommands(CLI::App& app, SkinCommandOptions& options) {
    CLI::App* sheet = app.add_subcommand("sheet", "Draw every icon of an archive or unpacked folder on one PNG");
    sheet->add_option("SOURCE", options.source, "an archive, or a folder left by unpack")->required();
    sheet->add_option("OUT", options.output, "the PNG to write (OUT-1.png ... when one would be too large)")
        ->required();
    sheet->add_option("--columns", options.columns, "tiles per row (default: about as many as rows)")
        ->check(CLI::Range(1, kMaxSheetColumns));
    sheet->add_option("--background", options.background, "the tiles' colour as RRGGBB (default: the viewer's)");
    sheet->add_option("--order", options.order, "name (as the desktop lists them, the default) or slot")
        ->check(CLI::IsMember({"name", "slot"}, CLI::ignore_case));

    CLI::App* diff = app.add_subcommand("diff", "Compare two archives or unpacked folders slot by slot");
    diff->add_option("A", options.a, "the first archive or folder")->required();
    diff->add_option("B", options.b, "the second archive or folder")->required();
    diff->add_option("--sheet", options.diffSheet, "draw the changed icons, before and after, into this PNG");

    CLI::App* check = app.add_subcommand("check", "Tell what packing a folder would do, entry by entry; writes nothing");
    check->add_option("FOLDER", options.folder, "a folder left by unpack, maybe edited")->required();
}

std::optional<int> RunSkinCommand(const std::string& command, const SkinCommandOptions& options) {
    if (command == "sheet") return RunSheet(options);
    if (command == "diff") return RunDiff(options);
    if (command == "check") return RunCheck(options);
    return std::nullopt;
}

int RunSheet(const SkinCommandOptions& options) {
    SheetOptions sheet;
    sheet.columns = options.columns;
    if (!options.background.empty()) sheet.background = ParseColour(options.background);
    sheet.order = CLI::detail::to_lower(options.order) == "slot" ? SheetOrder::Slot : SheetOrder::Name;
    for (const std::string& file : MakeContactSheet(options.source, options.output, sheet)) PrintText(file);
    return kExitOk;
}

int RunCheck(const SkinCommandOptions& options) {
    const std::string folder = WithTrailingSlash(options.folder);
    RequireFolder(options.folder);
    const FolderCheck check = CheckFolder(folder);
    // A folder packing takes nothing from gets its message alone.
    const std::string table = check.rows.empty() && !check.Packable() ? std::string() : CheckTable(check);
    for (std::size_t at = 0, end; at < table.size(); at = end + 1) {
        end = table.find('\n', at);
        if (end == std::string::npos) end = table.size();
        PrintText(table.substr(at, end - at));
    }
    if (check.Packable()) return kExitOk;
    std::fflush(stdout);
    PrintError(check.failurePath + ": " + check.failure);
    return kExitFailure;
}

int RunDiff(const SkinCommandOptions& options) {
    // As diff does: 2 for trouble, which the other commands report as 1.
    try {
        Skin a(options.a);
        Skin b(options.b);
        const SkinDifference difference = CompareSkins(a, b);
        for (const SlotDifference& d : difference.changes) PrintText(DescribeDifference(d));
        PrintText(DifferenceSummary(difference));
        if (!options.diffSheet.empty() && !difference.Same()) {
            for (const std::string& file :
                 DrawDifference(a, b, difference, options.diffSheet, kViewerBackground)) {
                PrintText("sheet: " + file);
            }
        }
        return difference.Same() ? kDiffSame : kDiffDifferent;
    } catch (const Error& e) {
        PrintError(e.Path() + ": " + e.what());
    }
    return kDiffTrouble;
}

}  // namespace tavro::cli
