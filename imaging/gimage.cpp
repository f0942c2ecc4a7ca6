// The handset's ".g" image. It has no layout of its own: the file is a whole GIF or
// PNG file, byte for byte.
//
//   offset  size  meaning
//   0       4     "GIF8" (GIF87a, GIF89a) or 89 50 4E 47 (PNG); anything else,
//                 or a file shorter than 4 bytes, is unknown content
//   0       all   the picture file itself, never re-encoded
#include "imaging/gimage.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "imaging/fileio.h"
#include "imaging/paths.h"

namespace tavro {

namespace {

constexpr std::size_t kSignatureSize = 4;
constexpr std::array<std::uint8_t, kSignatureSize> kGifSignature = {'G', 'I', 'F', '8'};
constexpr std::array<std::uint8_t, kSignatureSize> kPngSignature = {0x89, 'P', 'N', 'G'};

bool StartsWith(const std::vector<std::uint8_t>& bytes, const std::array<std::uint8_t, kSignatureSize>& sig) {
    return bytes.size() >= sig.size() && std::equal(sig.begin(), sig.end(), bytes.begin());
}

}  // namespace

std::string GImageExtension(const std::string& source) {
    const std::vector<std::uint8_t> head = ReadFilePrefix(source, kSignatureSize);
    if (StartsWith(head, kGifSignature)) return ".gif";
    if (StartsWith(head, kPngSignature)) return ".png";
    return ".unk";
}

// The new name reaches the caller before the copy, as a failed copy raises IoError:
// the caller then knows that nothing usable stands under that name.
void ReadGImage(const std::string& source, std::string& dest) {
    dest = ChangeExtension(dest, GImageExtension(source));
    CopyFileReplacing(source, dest);
}

void WriteGImage(const std::string& source, std::string& dest) {
    dest = ChangeExtension(dest, ".g");
    CopyFileReplacing(source, dest);
}

std::vector<std::uint8_t> GImageBytes(const std::string& source, std::string& dest, std::size_t limit,
                                      std::uint64_t& size) {
    dest = ChangeExtension(dest, ".g");
    File in = File::OpenRead(source);
    size = in.Size();
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(std::min<std::uint64_t>(size, limit)));
    bytes.resize(in.Read(bytes.data(), bytes.size()));
    if (bytes.size() < limit) size = bytes.size();  // a file that shrank while read
    in.Close();
    return bytes;
}

}  // namespace tavro
