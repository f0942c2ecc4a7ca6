// The imaging layer: the conversion door (the kind each file is taken for, the pictures
// .k, .raw and .g files decode into, what each mode encodes, and the refusals, which
// write nothing), then the BMP writer's layout, lossless round trips, what is never
// decoded, the alpha of 32-bit BMP files, GIF palettes, and failed saves.
#include <gtest/gtest.h>

#include <QImage>
#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "imaging/batch.h"
#include "imaging/standard.h"
#include "imaging/bmpfile.h"
#include "imaging/conversion.h"
#include "imaging/errors.h"
#include "imaging/kbitmap.h"
#include "imaging/rawpicture.h"
#include "support/testsupport.h"

namespace tavro::test {
namespace {

Bytes Cat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// 2 x 1 at 18 bits, stride 8 (6 rounded up to 4): red 63 (00 F0 03), then blue 63.
const Bytes kRow18 = {0x00, 0xF0, 0x03, 0x3F, 0x00, 0x00, 0, 0};
constexpr std::uint32_t kRed = 0xFC0000, kBlue = 0xFC, kOpaque = 0xFF000000;
// 3 x 3 .raw: 16-bit big-endian 5-6-5 pixels, then a mask bit per pixel running on
// across rows, MSB first, 1 = transparent: pixels 1, 5 and 8.
const Bytes kRaw3 = {0xF8, 0x00, 0x07, 0xE0, 0x00, 0x1F, 0xFF, 0xFF, 0x08, 0x21,
                     0x00, 0x00, 0x00, 0x00, 0x12, 0x34, 0xF8, 0x1F, 0b01000100, 0b10000000};

TEST(Conversion, DecodeByKindAndContent) {
    TempDir dir;
    struct Pixel {
        int x, y;
        std::uint32_t argb;
    };
    struct Case {
        std::string name;
        std::optional<Bytes> content;  // none: no such file
        TPictureKind kind;
        std::string result;            // the file written, "" for none, "!" and the DataError's words
        std::vector<Pixel> pixels = {};
    };
    const Case cases[] = {
        // Kinds by upper-case extension; only .k files are opened to tell them.
        {"icon.bmp", ToBytes("BM"), pkOther, ""},
        {"k/icon", {}, pkOther, ""},
        {"icon.kk", {}, pkOther, ""},
        // A .raw name without a usable size is not opened.
        {"icon.raw", {}, pkRaw, ""},
        {"Icon(16x1a).Raw", {}, pkRaw, ""},
        {"icon(16x-1).raw", {}, pkRaw, "!is not valid"},
        {"icon(1x38722).raw", {}, pkRaw, "!more than the 38721"},
        {"icon(65536x65536).raw", {}, pkRaw, "!more than the 38721"},
        {"i(3x3).raw", kRaw3, pkRaw, "icon.png",
         {{0, 0, kOpaque | 0xF80000}, {1, 0, 0x00FC00}, {2, 0, kOpaque | 0xF8}, {0, 1, kOpaque | 0xF8FCF8},
          {1, 1, kOpaque | 0x080408}, {2, 1, 0}, {1, 2, kOpaque | 0x1044A0}, {2, 2, 0xF800F8}}},
        // Missing bytes read as zero: opaque black.
        {"s(2x2).raw", Bytes(3, 0xFF), pkRaw, "icon.png",
         {{0, 0, kOpaque | 0xF8FCF8}, {1, 0, kOpaque | 0xF8E000}, {1, 1, kOpaque}}},
        {"full(16x16).raw", Bytes(512, 0xFF), pkRaw, "icon.png", {{15, 15, kOpaque | 0xF8FCF8}}},
        {"tall(1x38721).raw", Bytes(8, 0), pkRaw, "icon.png", {{0, 38720, kOpaque}}},
        // .k: 18-bit rows of `stride` bytes, a mask when the file holds more than the rows.
        {"plain.k", KFile(2, 1, 18, 8, kRow18), pkK18, "icon.png", {{0, 0, kOpaque | kRed}, {1, 0, kOpaque | kBlue}}},
        {"ICON.K", KFile(2, 2, 18, 8, Cat(Cat(kRow18, kRow18), {0x01, 0, 0, 0, 0x03, 0, 0, 0})), pkK18Masked,
         "icon.png", {{0, 0, kOpaque | kRed}, {1, 0, kBlue}, {1, 1, kOpaque | kBlue}}},
        // After the picture above: its mask and pixels must not show through.
        {"cut.k", KFile(2, 2, 18, 8, Cat(Cat(kRow18, kRow18), {0x02})), pkK18Masked, "icon.png",
         {{0, 0, kRed}, {1, 0, kOpaque | kBlue}, {0, 1, kRed}, {1, 1, kBlue}}},
        // Bits 18-23 are ignored.
        {"short.k", KFile(2, 2, 18, 8, {0xFF, 0xFF, 0xFF}), pkK18, "icon.png",
         {{0, 0, 0xFFFCFCFC}, {1, 0, kOpaque}, {1, 1, kOpaque}}},
        // Any depth but 18 is 32-bit, B G R A; 4 bytes of padding per row, the last row's missing.
        {"deep.k", KFile(2, 2, 24, 12, {1, 2, 3, 4, 5, 6, 7, 8, 0xEE, 0xEE, 0xEE, 0xEE, 9, 10, 11, 0, 13, 14, 15, 16}),
         pkK32, "icon.png", {{0, 0, 0x04030201}, {1, 0, 0x08070605}, {0, 1, 0x000B0A09}, {1, 1, 0x100F0E0D}}},
        {"big.k", KFile(640, 480, 32, 2560), pkK32, "icon.png", {{639, 479, 0}}},
        // Sizes the work areas cannot take. The mask rule compares signed 32-bit numbers.
        {"a.k", KFile(0, 5, 18, 0), pkK18, "!0 x 5"},
        {"b.k", KFile(4, -1, 18, 12), pkK18Masked, "!4 x -1"},
        {"c.k", KFile(-3, 2, 32, -12), pkK32, "!-3 x 2"},
        {"d.k", KFile(4, 4, 18, 8), pkK18, "!fewer than its 12"},
        {"e.k", KFile(4, 4, 32, -16), pkK32, "!fewer than its 16"},
        {"f.k", KFile(641, 480, 32, 2564), pkK32, "!1230720 bytes"},
        {"g.k", KFile(1, 0x40000000, 18, 4), pkK18, "!4294967296 bytes"},
        {"h.k", Bytes{33, 0, 0, 0, 2, 0, 0, 0, 18, 0}, pkK18, "!fewer than its 99"},  // shorter than its header
        // .g: the content is copied and names the extension, whatever the target.
        {"a.G", ToBytes("GIF89a\1"), pkG, "icon.gif"},
        {"b.g", ToBytes("GIF87a"), pkG, "icon.gif"},
        {"c.g", Bytes{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0}, pkG, "icon.png"},
        {"d.g", Bytes{0xFF, 0xD8, 0xFF, 0xE0, 0, 0x10}, pkG, "icon.unk"},
        {"e.g", ToBytes("gif8"), pkG, "icon.unk"},
        {"f.g", Bytes{}, pkG, "icon.unk"},
        {"g.g", ToBytes("GIF"), pkG, "icon.unk"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(dir / "out");
        std::filesystem::create_directory(dir / "out");
        if (c.content) WriteBytes(dir / c.name, *c.content);
        // BMP under a .png name: the caller's extension stands for every kind but .g.
        std::string dest = dir / "out/icon.png";
        auto kind = static_cast<TPictureKind>(99);
        bool decoded = false;
        const auto e = Caught<DataError>([&] { decoded = DecodePicture(dir / c.name, dest, tfBmp, kind); });
        EXPECT_EQ(kind, c.kind);
        const bool written = !c.result.empty() && c.result[0] != '!';
        EXPECT_EQ(decoded, written);
        EXPECT_TRUE(c.result[0] == '!' ? e && Contains(e->what(), c.result.substr(1)) : !e) << (e ? e->what() : "");
        EXPECT_EQ(dest, dir / ("out/" + (written ? c.result : "icon.png")));
        EXPECT_EQ(FolderNames(dir / "out"), written ? std::vector<std::string>{c.result} : std::vector<std::string>{});
        EXPECT_TRUE(!written || c.kind != pkG || ReadBytes(dest) == *c.content);
        const Bitmap b = c.pixels.empty() ? Bitmap() : LoadBitmap(dest);
        for (const Pixel& p : c.pixels) EXPECT_EQ(b.GetPixel(p.x, p.y), p.argb) << p.x << "," << p.y;
    }
}

TEST(Conversion, EncodeByModeAndSource) {
    TempDir dir;
    Bitmap b(3, 2);
    b.SetPixel(0, 0, PackArgb(255, 255, 0, 0));
    const std::pair<const char*, Bitmap> sources[] = {
        {"in.bmp", b}, {"wide.bmp", Bitmap(641, 480)}, {"fits.bmp", Bitmap(640, 480)}};
    for (const auto& [name, bitmap] : sources) SaveBitmap(bitmap, dir / name, "image/bmp");
    const Bytes gif = ToBytes("GIF89a"), jpeg = {0xFF, 0xD8, 0xFF, 0xE0};
    WriteBytes(dir / "photo.gif", gif);
    WriteBytes(dir / "photo.PNG", gif);
    WriteBytes(dir / "photo.jpg", jpeg);
    WriteText(dir / "text.bmp", "not a picture");
    std::filesystem::create_directory(dir / "out");
    WriteBytes(dir / "out/photo.g", Bytes(100, 7));  // older and longer: no tail may stay
    struct Case {
        std::string source;
        int mode;
        std::string result;  // the file written, "" for none, "!" and the DataError's words
        std::size_t size = 0;
        TPictureKind kind = pkG;
    };
    const Case cases[] = {
        // A GIF or PNG is a .g copy whatever was asked; any file is one with mode 4.
        {"photo.gif", pkK18Masked, "photo.g", gif.size()},
        {"photo.PNG", pkRaw, "photo.g", gif.size()},
        {"photo.jpg", pkG, "photo.g", jpeg.size()},
        // 3 x 2: 18-bit rows of 12 bytes, mask rows of 4; 32-bit rows of 12.
        {"in.bmp", pkK18Masked, "in.k", 16 + 24 + 8, pkK18Masked},
        {"in.bmp", pkK18, "in.k", 16 + 24, pkK18},
        {"in.bmp", pkK32, "in.k", 16 + 24, pkK32},
        {"fits.bmp", pkK32, "fits.k", 16 + 640 * 480 * 4, pkK32},
        // 3 x 2: 5-6-5 pixels, then 6 mask bits rounded up to an even count of bytes.
        {"in.bmp", pkRaw, "in(3x2).raw", 12 + 2, pkRaw},
        {"photo.jpg", 5, ""}, {"photo.jpg", 6, ""}, {"photo.jpg", 255, ""},
        {"wide.bmp", pkK32, "!641 x 480"},
        {"text.bmp", pkK18Masked, "!cannot be loaded"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source + " " + std::to_string(c.mode));
        const std::string stem = c.source.substr(0, c.source.find('.'));
        std::string dest = dir / ("out/" + stem + ".bmp");
        const auto e = Caught<DataError>([&] { EncodePicture(dir / c.source, std::uint8_t(c.mode), dest); });
        const bool written = !c.result.empty() && c.result[0] != '!';
        EXPECT_TRUE(c.result[0] == '!' ? e && Contains(e->what(), c.result.substr(1)) : !e) << (e ? e->what() : "");
        EXPECT_EQ(dest, dir / ("out/" + (written ? c.result : e ? stem + ".k" : stem + ".bmp")));
        EXPECT_EQ(Exists(dest), written);
        if (written) {
            EXPECT_EQ(ReadBytes(dest).size(), c.size);
            EXPECT_EQ(DetectPictureKind(dest), c.kind);
            EXPECT_TRUE(c.kind != pkG || ReadBytes(dest) == ReadBytes(dir / c.source));
        }
    }

    // File errors are raised, never passed over.
    WriteBytes(dir / "icon.g", gif);
    WriteBytes(dir / "plain.k", KFile(2, 1, 18, 8, kRow18));
    std::string d;  // each call gets its own target name, which decoding may change
    TPictureKind kind;
    EXPECT_THROW(DetectPictureKind(dir / "missing.k"), IoError);
    EXPECT_THROW(ConvertFolder(dir / "missing/", dir.Path(), BatchDirection::ToStandard, tfBmp), IoError);
    EXPECT_THROW(DecodePicture(dir / "missing(1x1).raw", d = dir / "out.png", tfPng, kind), IoError);
    EXPECT_THROW(DecodePicture(dir / "missing.g", d = dir / "out.png", tfPng, kind), IoError);
    EXPECT_THROW(DecodePicture(dir / "icon.g", d = dir / "no/such/out.png", tfPng, kind), IoError);
    EXPECT_THROW(DecodePicture(dir / "plain.k", d = dir / "no/such/out.png", tfPng, kind), IoError);
    for (const auto& [source, mode] :
         {std::pair{"missing.bmp", pkK32}, {"in.bmp", pkK18}, {"photo.gif", pkG}})
        EXPECT_THROW(EncodePicture(dir / source, mode, d = dir / "no/such/a.bmp"), IoError) << source;
    EXPECT_FALSE(Exists(dir / "out.unk"));
}

// The .k writer's rows and mask rows, and the .raw writer's pixels and mask, byte for byte.
TEST(Conversion, EncodeHandsetPicturesByteForByte) {
    auto encode = [](const Bitmap& b, TPictureKind kind) {
        return kind == pkRaw ? EncodeRawPicture(b, "src") : EncodeKBitmap18(b, kind == pkK18Masked, "src");
    };
    // Red 255 -> 63 in bits 12-17, green 128 -> 32 in bits 6-11, blue 1 -> 0: the two
    // low bits are dropped, not rounded; then one byte of padding.
    Bitmap one(1, 1);
    one.SetPixel(0, 0, PackArgb(255, 255, 128, 1));
    EXPECT_EQ(encode(one, pkK18), KFile(1, 1, 18, 4, {0x00, 0xF8, 0x03, 0x00}));

    Bitmap b(33, 2);
    for (int x = 0; x < 33; ++x) {
        b.SetPixel(x, 0, 0xFFFFFFFFu);  // top row all opaque white
        b.SetPixel(x, 1, 0x01FFFFFFu);  // bottom row: alpha 1 counts as opaque ...
    }
    b.SetPixel(0, 1, 0x00FFFFFFu);  // ... except pixels 0 and 32, transparent
    b.SetPixel(32, 1, 0x00FFFFFFu);
    Bytes white(99, 0xFF);  // 0x3FFFF per pixel, then one byte of padding per row
    for (std::size_t i = 2; i < 99; i += 3) white[i] = 0x03;
    white.push_back(0);
    Bytes body = white;
    body.insert(body.end(), white.begin(), white.end());
    // Mask rows of 8 bytes, bit x mod 8 of byte x / 8, LSB first, 1 = opaque.
    body.insert(body.end(), {0xFF, 0xFF, 0xFF, 0xFF, 0x01, 0, 0, 0, 0xFE, 0xFF, 0xFF, 0xFF, 0x00, 0, 0, 0});
    EXPECT_EQ(encode(b, pkK18Masked), KFile(33, 2, 18, 100, body));

    // .raw: channels cut to 5-6-5, alpha 0 alone transparent (mask bit 1).
    Bitmap cut(1, 2);
    cut.SetPixel(0, 0, PackArgb(1, 0xFF, 0x07, 0x0F));
    EXPECT_EQ(encode(cut, pkRaw), (Bytes{0xF8, 0x21, 0x00, 0x00, 0x40, 0x00}));
    // The exact inverse of the reader: every kind of pixel, transparent ones keeping
    // their colour; 9 mask bits need two bytes.
    EXPECT_EQ(encode(DecodeRawBitmap(kRaw3, 3, 3, "in"), pkRaw), kRaw3);
    // Beyond the pixels a .raw picture holds: refused.
    EXPECT_THROW(encode(Bitmap(197, 197), pkRaw), DataError);
}

// Rows of a 2 x 2 32-bit bitmap in file order, B G R A: (10,20,30) alpha 0x40 and
// (1,2,3) alpha 0, then (40,50,60) opaque and (4,5,6) alpha 1.
const Bytes kRows = {30, 20, 10, 0x40, 3, 2, 1, 0, 60, 50, 40, 0xFF, 6, 5, 4, 0x01};

TEST(Bitmap, BmpWriterLayout) {
    Bitmap b(3, 2);
    b.SetPixel(0, 0, 0x80102030u);  // top left
    b.SetPixel(2, 1, 0x00A0B0C0u);  // bottom right, transparent with colour
    // BI_RGB, positive height: the bottom row first, each pixel B G R A.
    const Bytes rows = {0,    0,    0,    0,    0, 0, 0, 0, 0xC0, 0xB0, 0xA0, 0x00,  // bottom row
                        0x30, 0x20, 0x10, 0x80, 0, 0, 0, 0, 0,    0,    0,    0};    // top row
    EXPECT_EQ(EncodeBitmap(b, "image/bmp", "x.bmp"), Bmp32(3, 2, 0, rows));
}

TEST(Bitmap, LosslessRoundTripsAndWhatIsNeverDecoded) {
    TempDir dir;
    // Decoded by content, whatever the name.
    for (const char* mime : {"image/bmp", "image/png"}) {
        SaveBitmap(OddPicture(), dir / "odd.gif", mime);
        EXPECT_TRUE(OddPicture().Image() == LoadBitmap(dir / "odd.gif").Image()) << mime;
    }
    const auto roundTrip = [](const Bitmap& b) { return DecodeBitmap(EncodeBitmap(b, "image/png", "p")); };
    // Rows that each make another PNG row filter the best one: noise, then zeros
    // (none), noise again, a copy of it (up), each channel the mean of its left and
    // upper neighbours (average); the odd picture takes sub and Paeth.
    Bitmap filters(9, 5);
    std::uint32_t seed = 12345;
    for (int y : {0, 2})
        for (int x = 0; x < 9; ++x) filters.SetPixel(x, y, seed = seed * 1103515245u + 12345u);
    for (int x = 0; x < 9; ++x) {
        filters.SetPixel(x, 3, filters.GetPixel(x, 2));
        std::uint32_t mean = 0;
        for (int shift = 0; shift < 32; shift += 8) {
            const std::uint32_t left = x > 0 ? (filters.GetPixel(x - 1, 4) >> shift) & 0xFF : 0;
            mean |= ((left + ((filters.GetPixel(x, 3) >> shift) & 0xFF)) / 2) << shift;
        }
        filters.SetPixel(x, 4, mean);
    }
    EXPECT_TRUE(filters.Image() == roundTrip(filters).Image());
    EXPECT_EQ(roundTrip(Bitmap(1024, 1024)).Width(), 1024);
    // A few bytes announcing 1025 x 1024 pixels, top-down, are refused before decoding.
    const Bytes bomb = Bmp32(1025, -1024, 0, kRows);
    ASSERT_FALSE(
        QImage::fromData(bomb.data(), static_cast<int>(bomb.size()), "BMP").isNull());  // Qt alone decodes it
    EXPECT_TRUE(DecodeBitmap(bomb).IsNull());
    EXPECT_TRUE(DecodeBitmap(ToBytes("\x89PNG, not a picture at all")).IsNull());
    for (const char* name : {"missing.png", ""}) EXPECT_TRUE(LoadBitmap(dir / name).IsNull()) << name;
    // Pictures found by fuzzing whose few bytes announce millions of pixels.
    for (const auto& e : std::filesystem::directory_iterator(std::string(TAVRO_TEST_DATA) + "/fuzz/kwrite"))
        EXPECT_TRUE(LoadBitmap(e.path()).IsNull()) << e.path();
}

// Qt reads a 32-bit BMP as opaque; for BI_RGB the alpha is the fourth byte of each
// stored pixel, bottom-up (the first row stored is the bottom row) and top-down. With
// BI_BITFIELDS colour masks and no alpha mask the picture is opaque.
TEST(Bitmap, ThirtyTwoBitBmpAlphaForEveryRowOrderAndHeader) {
    for (std::uint32_t compression : {0u, 3u}) {
        for (int height : {2, -2}) {
            SCOPED_TRACE(std::to_string(compression) + " " + std::to_string(height));
            const Bitmap b = DecodeBitmap(Bmp32(2, height, compression, kRows));
            const int first = height > 0 ? 1 : 0;
            const std::uint32_t opaque = compression == 0 ? 0 : 0xFF000000u;
            ASSERT_EQ(b.Height(), 2);
            EXPECT_EQ(b.GetPixel(0, first), 0x400A141Eu | opaque);
            EXPECT_EQ(b.GetPixel(1, first), 0x00010203u | opaque);
            EXPECT_EQ(b.GetPixel(0, 1 - first), 0xFF28323Cu);
            EXPECT_EQ(b.GetPixel(1, 1 - first), 0x01040506u | opaque);
        }
    }
    // Only a 32-bit bitmap of the decoded picture's size gives its alpha. (That the pass
    // reads only bytes the file has is left to the sanitizers over the fuzz seeds.)
    Bytes bits24 = Bmp32(2, -2, 0, kRows);
    bits24[28] = 24;
    QImage image(2, 2, QImage::Format_ARGB32), other(3, 2, QImage::Format_ARGB32);
    EXPECT_FALSE(ApplyBmp32Alpha(bits24, image));
    EXPECT_FALSE(ApplyBmp32Alpha(Bmp32(2, -2, 0, kRows), other));
}

// Alpha 128 to 255 is visible, below it transparent. Up to 255 colours are kept
// exactly; more are quantized, each pixel close to the original in every channel.
TEST(Bitmap, GifKeepsFewColoursExactlyAndQuantizesMany) {
    Bitmap few(47, 33);
    for (int i = 0; i < 47 * 33; ++i) {
        const int c = i % 256;
        few.SetPixel(i % 47, i / 47,
                     c == 255 ? 0x7FFFFFFFu : PackArgb(128 + (c % 128), c, 255 - c, (c * 7) & 0xFF));
    }
    // More than 255 colours, red in a narrow band and green over the whole range, so
    // that colours mixed up between channels show.
    Bitmap many(47, 33);
    for (int i = 0; i < 47 * 33; ++i) {
        const std::uint32_t alpha = i % 7 == 0 ? 0 : (i % 7 == 1 ? 127 : 128 + i % 128);
        many.SetPixel(i % 47, i / 47, PackArgb(alpha, 100 + i % 9, (i * 5) % 256, (i * 13) & 0xFF));
    }
    for (const bool exact : {true, false}) {
        const Bitmap& want = exact ? few : many;
        const Bitmap got = DecodeBitmap(EncodeBitmap(want, "image/gif", "p.gif"));
        ASSERT_EQ(got.Width(), 47);
        ASSERT_EQ(got.Height(), 33);
        long error[3] = {0, 0, 0};
        for (int i = 0; i < 47 * 33; ++i) {
            const std::uint32_t w = want.GetPixel(i % 47, i / 47), g = got.GetPixel(i % 47, i / 47);
            ASSERT_EQ(AlphaOf(g), AlphaOf(w) < 128 ? 0u : 255u) << "pixel " << i;
            if (AlphaOf(w) < 128) continue;
            ASSERT_TRUE(!exact || g == (w | 0xFF000000u)) << "pixel " << i << ": " << g;
            for (int s : {16, 8, 0}) error[s / 8] += std::abs(int((g >> s) & 0xFF) - int((w >> s) & 0xFF));
        }
        for (long e : error) EXPECT_LT(e / (47 * 33), 16);  // per channel: not a wrong mapping or order
    }
}

TEST(Bitmap, FailedSavesAreReported) {
    TempDir dir;
    const auto e = Caught<IoError>([&] { SaveBitmap(OddPicture(), dir / "no-such-folder/x", "image/png"); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->Code(), ENOENT);
    EXPECT_EQ(e->Path(), dir / "no-such-folder/x");
    EXPECT_THROW(SaveBitmap(OddPicture(), "/dev/full", "image/bmp"), IoError);
    EXPECT_THROW(SaveBitmap(Bitmap(), dir / "empty.png", "image/png"), DataError);
    // An unknown MIME type (the comparison is exact) writes nothing and says nothing.
    for (const char* mime : {"image/tiff", "image/PNG"}) SaveBitmap(OddPicture(), dir / "a.tif", mime);
    EXPECT_TRUE(FolderNames(dir.Path()).empty());
}

}  // namespace
}  // namespace tavro::test
