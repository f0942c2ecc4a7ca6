// Every command that writes over a user's files, put through the fault table of the
// file layer (a full disk or a kill at the first byte, half way, at the last byte, at
// the flush and at the rename of the first and a later file): each file that existed
// is afterwards its old content or the content a run without fault gives, never a
// mixture; after a failure the folder is as it was; after a kill the next run removes
// the temporary file left; an unpacking that did not finish is refused by packing.
#include <functional>

#include "archive/extract.h"
#include "archive/format.h"
#include "archive/pack.h"
#include "imaging/batch.h"
#include "imaging/conversion.h"
#include "imaging/errors.h"
#include "support/faultrun.h"

namespace tavro::test {
namespace {

const std::string kSample = std::string(TAVRO_SOURCE_DIR) + "/examples/iconres.ezx";

void Unpack(const std::string& archive, const std::string& folder) {
    NullProgress progress;
    NullIconList icons;
    NullMessages messages;
    std::filesystem::create_directories(folder);
    ExtractArchive(archive, folder, tfBmp, progress, icons, messages);
}

struct Command {
    const char* name;
    bool oneFile;  // a failure leaves everything as it was (several files: those done stay)
    std::function<void(const std::string& dir)> setUp;  // the state before: the user's files
    std::function<void(const std::string& dir)> run;
};

TEST(Faults, EveryFileThatExistedIsOldOrNew) {
    TempDir sample;
    Unpack(kSample, sample / "s/");
    const std::string clock = sample / "s/raws/clock.k";
    const Command commands[] = {
        {"convert", true, [&](const std::string& d) { WriteText(d + "clock.png", "an older picture"); },
         [&](const std::string& d) {
             std::string target = d + "clock.png";
             TPictureKind kind = pkOther;
             DecodePicture(clock, target, tfPng, kind);
         }},
        {"convert-all", false,
         [&](const std::string& d) {
             for (const char* name : {"clock.k", "alarm.k", "logo.g"})
                 WriteBytes(d + "src/" + name, ReadBytes(sample / (std::string("s/raws/") + name)));
             for (const char* name : {"clock.bmp", "alarm.bmp", "logo.png"}) WriteText(d + "dst/" + name, "older");
         },
         [&](const std::string& d) { ConvertFolder(d + "src/", d + "dst/", BatchDirection::ToStandard, tfBmp); }},
        {"unpack over an earlier folder", false,
         [&](const std::string& d) {
             Unpack(kSample, d + "f/");  // and every file edited
             for (const auto& [name, bytes] : TreeFiles(d + "f/")) WriteText(d + "f/" + name, "edited " + name);
         },
         [&](const std::string& d) { Unpack(kSample, d + "f/"); }},
        {"pack", true,
         [&](const std::string& d) {
             std::filesystem::copy(sample / "s", d + "f", std::filesystem::copy_options::recursive);
             WriteText(d + "out.ezx", "an older archive");
         },
         [&](const std::string& d) {
             NullProgress progress;
             NullMessages messages;
             PackArchive(d + "f/", d + "out.ezx", progress, messages);
         }},
    };
    for (const Command& c : commands) {
        TempDir ref;
        c.setUp(ref.Path());
        const Files before = TreeFiles(ref.Path());
        c.run(ref.Path());
        const Files after = TreeFiles(ref.Path());
        std::uint64_t written = 0;
        for (const auto& [name, bytes] : after) written += bytes.size();
        for (const faults::Fault& fault : FaultTable(written)) {
            SCOPED_TRACE(std::string(c.name) + ": " + Describe(fault));
            TempDir dir;
            c.setUp(dir.Path());
            const Files old = TreeFiles(dir.Path());
            const FaultEnd end = RunWithFault(fault, [&] { c.run(dir.Path()); });
            EXPECT_TRUE(OldOrNew(old, after, dir.Path()));
            if (end == FaultEnd::Failed && c.oneFile) {
                EXPECT_EQ(TreeFiles(dir.Path()), old);
            }
            if (Exists(dir / "f/" + kUnfinishedMarkName)) {
                // An unpacking that stopped half way: packing refuses its folder.
                NullProgress progress;
                NullMessages messages;
                const auto refused =
                    Caught<DataError>([&] { PackArchive(dir / "f/", dir / "o.ezx", progress, messages); });
                EXPECT_TRUE(refused && refused->Cause() == ErrorCause::Refused);
            } else if (!c.oneFile && end != FaultEnd::Finished && c.name[0] == 'u') {
                EXPECT_EQ(TreeFiles(dir.Path()), old);  // stopped before its first file
            }
            EXPECT_EQ(TempFilesAfterNextRun(dir.Path()), std::vector<std::string>{});
        }
    }
}

}  // namespace
}  // namespace tavro::test
