// Little-endian and big-endian integers, and one checked reader over untrusted bytes.
//
// Every position and length that comes from a file is compared with the size before
// any access, as `off <= size && len <= size - off`, so that no sum can overflow.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace tavro {

inline std::uint32_t load_u32le(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

inline void store_u32le(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}

inline std::uint32_t load_u24le(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16);
}

inline void store_u24le(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
}

inline std::uint16_t load_u16be(const std::uint8_t* p) {
    return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}

inline void store_u32be(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v >> 24);
    p[1] = static_cast<std::uint8_t>(v >> 16);
    p[2] = static_cast<std::uint8_t>(v >> 8);
    p[3] = static_cast<std::uint8_t>(v);
}

// True when [off, off + len) lies inside a buffer of `size` bytes.
inline bool InBounds(std::size_t off, std::size_t len, std::size_t size) {
    return off <= size && len <= size - off;
}

// A cursor over untrusted bytes. Every read is checked; a read past the end sets
// the failed flag and yields zero / empty instead of touching memory outside.
class ByteReader {
public:
    explicit ByteReader(std::span<const std::uint8_t> data) : data_(data) {}

    std::size_t Position() const { return pos_; }
    std::size_t Size() const { return data_.size(); }
    std::size_t Remaining() const { return data_.size() - pos_; }
    bool Failed() const { return failed_; }

    bool Has(std::size_t len) const { return InBounds(pos_, len, data_.size()); }

    std::uint32_t U32() {
        if (!Has(4)) return Fail(), 0;
        std::uint32_t v = load_u32le(data_.data() + pos_);
        pos_ += 4;
        return v;
    }

    std::uint8_t U8() {
        if (!Has(1)) return Fail(), 0;
        return data_[pos_++];
    }

    std::string Bytes(std::size_t len) {
        if (!Has(len)) return Fail(), std::string();
        std::string s(reinterpret_cast<const char*>(data_.data() + pos_), len);
        pos_ += len;
        return s;
    }

private:
    void Fail() {
        failed_ = true;
        pos_ = data_.size();
    }

    std::span<const std::uint8_t> data_;
    std::size_t pos_ = 0;
    bool failed_ = false;
};

}  // namespace tavro
