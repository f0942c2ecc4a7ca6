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
    ::chmod(path.c_str(), 0640);
    ::link(path.c_str(), (dir / "other-name").c_str());
    WriteWholeFile(path, ToBytes("new"));
    EXPECT_EQ(ReadText(path), "new");
    EXPECT_EQ(ReadText(dir / "other-name"), std::string(100, 'o'));  // replaced, not written over
    struct stat st {};
    ::stat(path.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    // A link as the target stays a link; its target gets the content.
    ::symlink("icon.png", (dir / "link.png").c_str());
    WriteWholeFile(dir / "link.png", ToBytes("via link"));
    EXPECT_EQ(ReadText(path), "via link");
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.png"));
    {
        ReplacementFile dropped(path);
        dropped.Write(ToBytes("never committed"));
    }
    EXPECT_EQ(ReadText(path), "via link");
    EXPECT_EQ(FolderNames(dir.Path()), (std::vector<std::string>{"icon.png", "link.png", "other-name"}));
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
            RemoveLeftovers(dir.Path());  // the next run in the folder
            EXPECT_TRUE(TempFilesIn(dir.Path()).empty());
        }
    }
}

TEST(FileReplace, DiskFullNamesTheUsersFile) {
    TempDir dir;
    const std::string path = dir / "a.k";
    const FaultEnd end = RunWithFault({faults::Point::Write, 2, faults::Action::Fail}, [&] {
        try {
            WriteWholeFile(path, ToBytes("1234"));
        } catch (const IoError& e) {
            if (e.Path() == path && std::string(e.what()) == "Disk full") return;
        }
        throw std::runtime_error("not the user's file");
    });
    EXPECT_EQ(end, FaultEnd::Finished);
}

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
    const FaultEnd end = RunWithFault({faults::Point::Write, 1u << 30, faults::Action::Fail},
                                      [&] { WriteWholeFile(dir / "out.k", ToBytes("out")); });
    ::close(held);
    EXPECT_EQ(end, FaultEnd::Finished);
    EXPECT_EQ(ReadText(dir / "victim"), "victim");
    EXPECT_EQ(FolderNames(dir.Path()),
              (std::vector<std::string>{".tavro-heldbyarun.tmp", ".tavro-planted0000.tmp", "out.k", "victim"}));
}

}  // namespace tavro::test
