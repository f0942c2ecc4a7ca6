// Replacing a file writes over the old one in place: afterwards it must hold exactly
// the new bytes, whether they are shorter or longer, written out of order, or given
// up half way as after a failed write.
#include "imaging/fileio.h"

#include "support/testsupport.h"

namespace tavro::test {

TEST(FileReplace, LeavesExactlyTheNewBytes) {
    TempDir dir;
    const std::string path = dir / "icon.png";
    WriteText(path, std::string(100, 'o'));
    WriteWholeFile(path, ToBytes("new"));
    EXPECT_EQ(ReadText(path), "new");
    WriteWholeFile(path, ToBytes(std::string(200, 'n')));
    EXPECT_EQ(ReadText(path), std::string(200, 'n'));
    {
        File given = File::Create(path);
        given.Write(std::string("cut"));
    }
    EXPECT_EQ(ReadText(path), "cut");
    File seeking = File::Create(path);
    seeking.Write(std::string("ab"));
    seeking.Seek(0);
    seeking.Write(std::string("X"));
    seeking.Close();
    EXPECT_EQ(ReadText(path), "Xb");
}

}  // namespace tavro::test
