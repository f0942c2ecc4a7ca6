// Packing and extraction when files change or refuse under them: an icon that
// vanishes between listing and conversion, a raw copy that cannot be created. Each failure must name the file,
// keep an existing archive as it was, and leave no temporary behind.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <functional>

#include "archive/archive_fixture.h"
#include "archive/extract.h"
#include "archive/pack.h"
#include "imaging/errors.h"

namespace tavro::test {
namespace {

namespace fs = std::filesystem;

// A recorder that runs an action when the progress window gets a given caption:
// the captions mark the stages of packing, so the action lands between two of them.
class StageHook : public Recorder {
public:
    std::string caption;
    std::function<void()> action;
    void SetCaption(const std::string& text) override {
        Recorder::SetCaption(text);
        if (text == caption && action) action();
    }
};

// A 32-bit BMP of 2 x 2 pixels with alpha.
Bytes Bmp32() {
    Bytes b = ToBytes("BM");
    for (std::uint32_t v : {54u + 16u, 0u, 54u, 40u, 2u, 2u}) AppendU32(b, v);
    for (std::uint8_t v : {1, 0, 32, 0}) b.push_back(v);  // one plane, 32 bits per pixel
    for (std::uint32_t v : {0u, 16u, 2835u, 2835u, 0u, 0u}) AppendU32(b, v);
    for (std::uint32_t p : {0x80102030u, 0xFF405060u, 0x00708090u, 0x01A0B0C0u}) AppendU32(b, p);
    return b;
}

class PackFaults : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(dir / "f/icons");
        WriteBytes(dir / "f/iconres.hdr", HeaderText(40));
        WriteBytes(dir / "f/iconres.dat", StructureFile(2, {{0, "a.k", "a.bmp", 3, 0, 7}, {1, "b.k", "b.bmp", 1, 0, 8}}));
        WriteBytes(dir / "f/icons/a.bmp", Bmp32());
        WriteBytes(dir / "f/icons/b.bmp", Bmp32());
        WriteBytes(dir / "out.ezx", ToBytes("the archive from before"));
    }

    // Packs, expecting an IoError; returns it.
    IoError PackFails() {
        try {
            PackArchive(dir / "f/", dir / "out.ezx", hook, hook);
        } catch (const IoError& e) {
            return e;
        }
        ADD_FAILURE() << "packing did not fail";
        return IoError(0, "");
    }

    void ExpectOldArchiveAndNoTemporary() {
        EXPECT_EQ(ReadBytes(dir / "out.ezx"), ToBytes("the archive from before"));
        EXPECT_EQ(FolderNames(dir.Path()), (std::vector<std::string>{"f", "out.ezx"}));
    }

    TempDir dir;
    StageHook hook;
};

TEST_F(PackFaults, IconVanishingAfterTheListingIsReportedByName) {
    hook.caption = "Retrieving skin structure";  // set after icons/ was listed
    hook.action = [&] { fs::remove(dir / "f/icons/b.bmp"); };
    const IoError e = PackFails();
    EXPECT_EQ(e.Code(), ENOENT);
    EXPECT_STREQ(e.what(), "File not found");
    EXPECT_EQ(e.Path(), dir / "f/icons/b.bmp");
    ExpectOldArchiveAndNoTemporary();
}

TEST(ExtractFaults, RawCopyThatCannotBeCreatedShowsErrorAndKeepsEarlierEntries) {
    TempDir dir;
    Bytes k;
    for (std::uint32_t v : {1u, 1u, 32u, 4u, 0xFF102030u}) AppendU32(k, v);
    WriteBytes(dir / "in.ezx", BuildArchive(HeaderText(32), {{"a.k", k, 1}, {"b.k", k, 2}, {"c.k", k, 3}}));
    // A folder where the second raw copy belongs: the file cannot be created.
    fs::create_directories(dir / "t/raws/b.k");
    Recorder rec;
    try {
        ExtractArchive(dir / "in.ezx", dir / "t/", rec, rec, rec);
        ADD_FAILURE() << "extraction did not fail";
    } catch (const IoError& e) {
        EXPECT_EQ(e.Code(), EBADF);
    }
    EXPECT_EQ(rec.Only("error:"), (std::vector<std::string>{"error:" + dir / "t/raws/b.k"}));
    EXPECT_EQ(ReadBytes(dir / "t/raws/a.k"), k);
    EXPECT_FALSE(Exists(dir / "t/raws/c.k"));
    EXPECT_EQ(FolderNames(dir.Path()), (std::vector<std::string>{"in.ezx", "t"}));
}

}  // namespace
}  // namespace tavro::test
