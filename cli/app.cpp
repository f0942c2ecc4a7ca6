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
    const std::string formatHelp = "standard format: bmp, png, gif or jpeg";

    UnpackOptions unpack;
    std::string unpackFormat = "bmp";
    CLI::App* unpackCmd = app.add_subcommand("unpack", "Unpack an archive into a folder (Open EZX)");
    unpackCmd->add_option("ARCHIVE", unpack.archive, "the iconres.ezx to unpack")->required();
    unpackCmd->add_option("FOLDER", unpack.folder, "the folder to unpack into (created when missing)")->required();
    AddWordOption(unpackCmd, "--format", unpackFormat, kFormats, formatHelp + " of the icons, bmp by default");
    unpackCmd->add_flag("--list", unpack.list, "print the icon names, sorted as the desktop lists them");

    PackOptions pack;
    CLI::App* packCmd = app.add_subcommand("pack", "Pack an unpacked folder into an archive (Save to EZX)");
    packCmd->add_option("FOLDER", pack.folder, "folder holding iconres.dat, iconres.hdr and icons/")->required();
    packCmd->add_option("ARCHIVE", pack.archive, "the archive to write")->required();

    ConvertOptions convert;
    std::string convertFormat;
    std::string convertMode;
    CLI::App* convertCmd = app.add_subcommand("convert", "Convert one picture; prints the path written");
    convertCmd->add_option("SOURCE", convert.source, "the picture to convert")->required();
    convertCmd->add_option("TARGET", convert.target, "the picture to write")->required();
    CLI::Option* formatOpt = AddWordOption(convertCmd, "--format", convertFormat, kFormats,
                                           "decode a handset picture into this " + formatHelp +
                                               " (default: the one TARGET's extension names)");
    CLI::Option* handsetOpt = AddWordOption(convertCmd, "--handset", convertMode, kHandsetModes,
                                            "encode into a handset picture: k18, k18-nomask, k32, g or raw "
                                            "(named with its size, as in icon(16x16).raw)");
    formatOpt->excludes(handsetOpt);

    ConvertAllOptions convertAll;
    std::string convertAllTo;
    std::string convertAllFormat = "bmp";
    CLI::App* convertAllCmd = app.add_subcommand("convert-all", "Convert every picture of a folder (Convert all)");
    convertAllCmd->add_option("SOURCE_FOLDER", convertAll.sourceFolder, "the folder to convert")->required();
    convertAllCmd->add_option("TARGET_FOLDER", convertAll.targetFolder, "the folder to write into")->required();
    AddWordOption(convertAllCmd, "--to", convertAllTo, kDirections,
                  "standard: .k and .g into standard pictures; handset: .bmp, .png and .gif into .k and .g")
        ->required();
    AddWordOption(convertAllCmd, "--format", convertAllFormat, kFormats, formatHelp + ", bmp by default");

    InfoOptions info;
    std::string infoFormat = "bmp";
    CLI::App* infoCmd = app.add_subcommand("info", "Describe an archive's slots, or a picture");
    infoCmd->add_option("FILE", info.file, "an archive or a picture")->required();
    AddWordOption(infoCmd, "--format", infoFormat, kFormats,
                  "the target format, which picks the type word GIF or PNG; bmp by default");

    SkinCommandOptions skin;
    AddSkinCommands(app, skin);

    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& e) {  // --help, --version
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        return UsageFailure(e.what(), ActiveSubcommand(app));
    }

    std::string active = ActiveSubcommand(app);
    try {
        if (active.empty()) return app::RunDesktop(argc, argv, "");
        // A reader of stdout that goes away is an error on the next write, which ends
        // the command through its normal way out, removing its temporary files.
        std::signal(SIGPIPE, SIG_IGN);
        if (active == "unpack") {
            unpack.format = ValueOf(kFormats, unpackFormat);
            return RunUnpack(unpack);
        }
        if (active == "pack") return RunPack(pack);
        if (active == "convert") {
            if (formatOpt->count() > 0) convert.format = ValueOf(kFormats, convertFormat);
            if (handsetOpt->count() > 0) convert.handsetMode = ValueOf(kHandsetModes, convertMode);
            return RunConvert(convert);
        }
        if (active == "convert-all") {
            convertAll.direction = ValueOf(kDirections, convertAllTo);
            convertAll.format = ValueOf(kFormats, convertAllFormat);
            return RunConvertAll(convertAll);
        }
        if (active == "info") {
            info.format = ValueOf(kFormats, infoFormat);
            return RunInfo(info);
        }
        if (const std::optional<int> code = RunSkinCommand(active, skin)) return *code;
        return UsageFailure("unknown command " + active, "");
    } catch (const UsageError& e) {
        return UsageFailure(e.what(), active);
    } catch (const IoError& e) {
        // Nobody is left to read a message about the closed pipe.
        if (e.Code() != EPIPE) PrintError(e.Path() + ": " + e.what());
    } catch (const DataError& e) {
        PrintError(e.Path() + ": " + e.what());
    } catch (const std::bad_alloc&) {
        PrintError("out of memory");
    } catch (const std::exception& e) {
        PrintError(e.what());
    }
    return kExitFailure;
}

}  // namespace tavro::cli
