#include "cli/app.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <exception>
#include <map>
#include <new>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "app/desktop.h"
#include "cli/commands.h"
#include "cli/skincommands.h"
#include "cli/terminal.h"
#include "imaging/errors.h"
#include "imaging/fileio.h"

#ifndef TAVRO_VERSION
#define TAVRO_VERSION "0"
#endif

namespace tavro::cli {

namespace {

// The short usage line of each subcommand, shown after a usage error.
const std::map<std::string, std::string> kUsage = {
    {"unpack", "tavro unpack ARCHIVE FOLDER [--format bmp|png|gif|jpeg] [--list]"},
    {"pack", "tavro pack FOLDER ARCHIVE"},
    {"convert", "tavro convert SOURCE TARGET [--format bmp|png|gif|jpeg | --handset k18|k18-nomask|k32|g|raw]"},
    {"convert-all", "tavro convert-all SOURCE_FOLDER TARGET_FOLDER --to standard|handset [--format bmp|png|gif|jpeg]"},
    {"info", "tavro info FILE [--format bmp|png|gif|jpeg]"},
    {"sheet", kSheetUsage},
    {"check", kCheckUsage},
    {"diff", kDiffUsage},
};

// The words the options take, mapped to the core's values after parsing: each
// format's word, and "jpg" beside "jpeg".
const std::map<std::string, TTargetFormat> kFormats = [] {
    std::map<std::string, TTargetFormat> words = {{"jpg", tfJpeg}};
    for (const StandardFormat& f : kStandardFormats) words.emplace(f.word, f.format);
    return words;
}();

const std::map<std::string, std::uint8_t> kHandsetModes = {
    {"k18", pkK18Masked}, {"k18-nomask", pkK18}, {"k32", pkK32}, {"g", pkG}, {"raw", pkRaw}};

const std::map<std::string, BatchDirection> kDirections = {
    {"standard", BatchDirection::ToStandard}, {"handset", BatchDirection::ToHandset}};

template <typename T>
std::vector<std::string> WordsOf(const std::map<std::string, T>& map) {
    std::vector<std::string> words;
    for (const auto& [word, value] : map) words.push_back(word);
    return words;
}

// An option taking one of the words of `map` (in any case) into `text`.
template <typename T>
CLI::Option* AddWordOption(CLI::App* cmd, const std::string& name, std::string& text,
                           const std::map<std::string, T>& map, const std::string& help) {
    return cmd->add_option(name, text, help)->check(CLI::IsMember(WordsOf(map), CLI::ignore_case));
}

template <typename T>
T ValueOf(const std::map<std::string, T>& map, const std::string& word) {
    return map.at(CLI::detail::to_lower(word));
}

std::string UsageFooter() {
    std::string text = "Usage of the commands:\n";
    for (const char* name : {"unpack", "pack", "convert", "convert-all", "info", "sheet", "check", "diff"}) {
        text += "  " + kUsage.at(name) + "\n";
    }
    text += "Exit codes: 0 success, 1 an input/output or data error, 2 a usage error.\n";
    text += "The manual page, man tavro, describes the desktop and every command.";
    return text;
}

int UsageFailure(const std::string& message, const std::string& subcommand) {
    PrintError(message);
    auto it = kUsage.find(subcommand);
    if (it != kUsage.end()) {
        std::fprintf(stderr, "usage: %s\n", it->second.c_str());
    } else {
        std::fprintf(stderr, "usage: tavro COMMAND ...   (tavro --help lists the commands)\n");
    }
    return kExitUsage;
}

// The subcommand being parsed when parsing stopped, if any.
std::string ActiveSubcommand(const CLI::App& app) {
    for (const CLI::App* sub : app.get_subcommands()) return sub->get_name();
    return {};
}

// The options of every subcommand, and the words given to its word options.
struct CommandLine {
    UnpackOptions unpack;
    std::string unpackFormat = "bmp";
    PackOptions pack;
    ConvertOptions convert;
    std::string convertFormat;
    std::string convertMode;
    CLI::Option* convertFormatOption = nullptr;
    CLI::Option* convertModeOption = nullptr;
    ConvertAllOptions convertAll;
    std::string convertAllTo;
    std::string convertAllFormat = "bmp";
    InfoOptions info;
    std::string infoFormat = "bmp";
};

const std::string kFormatHelp = "standard format: bmp, png, gif or jpeg";

void AddUnpackAndPack(CLI::App& app, CommandLine& c) {
    CLI::App* unpack = app.add_subcommand("unpack", "Unpack an archive into a folder (Open EZX)");
    unpack->add_option("ARCHIVE", c.unpack.archive, "the iconres.ezx to unpack")->required();
    unpack->add_option("FOLDER", c.unpack.folder, "the folder to unpack into (created when missing)")
        ->required();
    AddWordOption(unpack, "--format", c.unpackFormat, kFormats,
                  kFormatHelp + " of the icons, bmp by default");
    unpack->add_flag("--list", c.unpack.list, "print the icon names, sorted as the desktop lists them");

    CLI::App* pack = app.add_subcommand("pack", "Pack an unpacked folder into an archive (Save to EZX)");
    pack->add_option("FOLDER", c.pack.folder, "folder holding iconres.dat, iconres.hdr and icons/")
        ->required();
    pack->add_option("ARCHIVE", c.pack.archive, "the archive to write")->required();
}

void AddConversions(CLI::App& app, CommandLine& c) {
    CLI::App* convert = app.add_subcommand("convert", "Convert one picture; prints the path written");
    convert->add_option("SOURCE", c.convert.source, "the picture to convert")->required();
    convert->add_option("TARGET", c.convert.target, "the picture to write")->required();
    c.convertFormatOption = AddWordOption(
        convert, "--format", c.convertFormat, kFormats,
        "decode a handset picture into this " + kFormatHelp + " (default: the one TARGET's extension names)");
    c.convertModeOption = AddWordOption(convert, "--handset", c.convertMode, kHandsetModes,
                                        "encode into a handset picture: k18, k18-nomask, k32, g or raw "
                                        "(named with its size, as in icon(16x16).raw)");
    c.convertFormatOption->excludes(c.convertModeOption);

    CLI::App* all = app.add_subcommand("convert-all", "Convert every picture of a folder (Convert all)");
    all->add_option("SOURCE_FOLDER", c.convertAll.sourceFolder, "the folder to convert")->required();
    all->add_option("TARGET_FOLDER", c.convertAll.targetFolder, "the folder to write into")->required();
    AddWordOption(all, "--to", c.convertAllTo, kDirections,
                  "standard: .k and .g into standard pictures; handset: .bmp, .png and .gif into .k and .g")
        ->required();
    AddWordOption(all, "--format", c.convertAllFormat, kFormats, kFormatHelp + ", bmp by default");

    CLI::App* info = app.add_subcommand("info", "Describe an archive's slots, or a picture");
    info->add_option("FILE", c.info.file, "an archive or a picture")->required();
    AddWordOption(info, "--format", c.infoFormat, kFormats,
                  "the target format, which picks the type word GIF or PNG; bmp by default");
}

// Runs the subcommand parsed, its words turned into the core's values.
int RunSubcommand(const std::string& active, CommandLine& c) {
    if (active == "unpack") {
        c.unpack.format = ValueOf(kFormats, c.unpackFormat);
        return RunUnpack(c.unpack);
    }
    if (active == "pack") return RunPack(c.pack);
    if (active == "convert") {
        if (c.convertFormatOption->count() > 0) c.convert.format = ValueOf(kFormats, c.convertFormat);
        if (c.convertModeOption->count() > 0) c.convert.handsetMode = ValueOf(kHandsetModes, c.convertMode);
        return RunConvert(c.convert);
    }
    if (active == "convert-all") {
        c.convertAll.direction = ValueOf(kDirections, c.convertAllTo);
        c.convertAll.format = ValueOf(kFormats, c.convertAllFormat);
        return RunConvertAll(c.convertAll);
    }
    if (active == "info") {
        c.info.format = ValueOf(kFormats, c.infoFormat);
        return RunInfo(c.info);
    }
    return UsageFailure("unknown command " + active, "");
}

}  // namespace

int RunTavro(int argc, char** argv) {
    // "tavro ARCHIVE.ezx", as a file manager opens an archive: the desktop application
    // unpacks it, asking where.
    if (argc == 2 && argv[1][0] != '-' && kUsage.count(argv[1]) == 0 && FileExists(argv[1])) {
        return app::RunDesktop(argc, argv, argv[1]);
    }
    CLI::App app("Tavro " TAVRO_VERSION
                 ": the icon resources of a mobile handset (iconres.ezx, .k, .g and .raw pictures).\n"
                 "Without a command it opens the desktop application; with an archive as its only\n"
                 "argument (tavro ARCHIVE.ezx) the desktop unpacks that archive.",
                 "tavro");
    app.set_version_flag("--version", "tavro " TAVRO_VERSION);
    app.require_subcommand(0, 1);
    app.footer(UsageFooter());
    CommandLine c;
    AddUnpackAndPack(app, c);
    AddConversions(app, c);
    SkinCommandOptions skin;
    AddSkinCommands(app, skin);
    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& e) {  // --help, --version
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        return UsageFailure(e.what(), ActiveSubcommand(app));
    }

    const std::string active = ActiveSubcommand(app);
    if (active.empty()) return app::RunDesktop(argc, argv, "");
    // A reader of stdout that goes away is an error on the next write, which ends
    // the command through its normal way out, removing its temporary files.
    std::signal(SIGPIPE, SIG_IGN);
    // The one place where the command line reports what stopped a command.
    try {
        if (const std::optional<int> code = RunSkinCommand(active, skin)) return *code;
        return RunSubcommand(active, c);
    } catch (const UsageError& e) {
        return UsageFailure(e.what(), active);
    } catch (const Error& e) {
        // Nobody is left to read a message about the closed pipe.
        if (e.Cause() != ErrorCause::System || e.Code() != EPIPE) PrintError(e.Path() + ": " + e.what());
    } catch (const std::bad_alloc&) {
        PrintError("out of memory");
    } catch (const std::exception& e) {
        PrintError(e.what());
    }
    return kExitFailure;
}

}  // namespace tavro::cli
