// Replacing a file: afterwards it holds its old content or exactly the new one,
// whatever fails or stops the writing, and no temporary file is left; nothing planted
// under a temporary name receives a byte; leftovers of killed runs are removed.
#include "imaging/fileio.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "imaging/errors.h"
#include "support/faultrun.h"

namespace tavro::test {

TEST(FileReplace, NewContentTakesThePlaceOfTheOldWhole) {
    TempDir dir;
    const std::string path = dir / "icon.png";
    WriteText(path, std::string(100, 'o'));
    ::link(path.c_str(), (dir / "other-name").c_str());
    WriteWholeFile(path, ToBytes("new"));
    EXPECT_EQ(ReadText(path), "new");
    EXPECT_EQ(ReadText(dir / "other-name"), std::string(100, 'o'));  // replaced, not written over
    {
        ReplacementFile dropped(path);
        dropped.Write(ToBytes("never committed"));
    }
    EXPECT_EQ(ReadText(path), "new");
    EXPECT_EQ(FolderNames(dir.Path()), (std::vector<std::string>{"icon.png", "other-name"}));
    // The same bytes again leave the file itself alone.
    struct stat before {}, after {};
    ::stat(path.c_str(), &before);
    WriteWholeFile(path, ToBytes("new"));
    ::stat(path.c_str(), &after);
    EXPECT_EQ(before.st_ino, after.st_ino);
}

TEST(FileReplace, FaultsLeaveTheOldOrTheNewContentAndNoTemporaryFile) {
    for (const bool existed : {true, false}) {
        for (const faults::Fault& fault : FaultTable(6)) {
            SCOPED_TRACE(Describe(fault) + (existed ? " over a file" : " of a new file"));
            TempDir dir;
            const std::string path = dir / "a.bmp";
            if (existed) WriteText(path, "old content");
            const FaultEnd end = RunWithFault(fault, [&] { WriteWholeFile(path, ToBytes("new!!!")); });
            const std::string now = Exists(path) ? ReadText(path) : "(none)";
            EXPECT_TRUE(now == (existed ? "old content" : "(none)") || now == "new!!!") << now;
            if (end == FaultEnd::Failed) {
                EXPECT_NE(now, "new!!!");
            }
            EXPECT_TRUE(TempFilesAfterNextRun(dir.Path()).empty());
        }
    }
}

// A full disk is reported under the user's file name.
TEST(FileReplace, PlantedNamesReceiveNothingAndDeadLeftoversGo) {
    TempDir dir;
    WriteText(dir / "victim", "victim");
    // A link and another user's kind of file under temporary names, a dead leftover
    // of ours, and one that a running command holds.
    ::symlink("victim", (dir / ".tavro-planted0000.tmp").c_str());
    WriteText(dir / ".tavro-deadleftover.tmp", "left by a kill");
    WriteText(dir / ".tavro-heldbyarun.tmp", "in use");
    const int held = ::open((dir / ".tavro-heldbyarun.tmp").c_str(), O_RDONLY);
    ASSERT_TRUE(LockInUse(held));
    const FaultEnd end = RunWithFault({faults::Point::Write, 2, faults::Action::Fail}, [&] {
        const auto e = Caught<IoError>([&] { WriteWholeFile(dir / "out.k", ToBytes("out")); });
        if (!e || e->Path() != dir / "out.k" || std::string(e->what()) != "Disk full") throw e;
    });
    ::close(held);
    EXPECT_EQ(end, FaultEnd::Finished);
    EXPECT_EQ(ReadText(dir / "victim"), "victim");
    EXPECT_EQ(FolderNames(dir.Path()),
              (std::vector<std::string>{".tavro-heldbyarun.tmp", ".tavro-planted0000.tmp", "victim"}));
}

}  // namespace tavro::test
