#include "scenario/file_stamp.h"

#include <cstring>

namespace qv {

namespace {

constexpr std::uint64_t k1 = 0x9e3779b185ebca87ull, k2 = 0xc2b2ae3d27d4eb4full;

std::uint64_t word_at(const unsigned char* p) {
    std::uint64_t w;
    std::memcpy(&w, p, sizeof w);
    return w;
}

// Takes one word into an accumulator; for a given accumulator, different words give different
// results, and for a given word, different accumulators do.
std::uint64_t take(std::uint64_t acc, std::uint64_t word) {
    acc += word * k2;
    acc = (acc << 31) | (acc >> 33);
    return acc * k1;
}

// Spreads every bit of h over the whole word.
std::uint64_t mix(std::uint64_t h) {
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdull;
    h ^= h >> 33;
    h *= 0xc4ceb9fe1a85ec53ull;
    return h ^ (h >> 33);
}

// A 64-bit hash: the bytes decide, whatever the time stamps say. Four accumulators take a word
// each in turn, so that the multiplications do not wait on one another: a file of megabytes is
// hashed in a fraction of a millisecond.
std::uint64_t bytes_hash(std::string_view bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    std::size_t n = bytes.size();
    std::uint64_t a = k1 + k2, b = k2, c = 0, d = 0 - k1;
    for (; n >= 32; p += 32, n -= 32) {
        a = take(a, word_at(p));
        b = take(b, word_at(p + 8));
        c = take(c, word_at(p + 16));
        d = take(d, word_at(p + 24));
    }
    std::uint64_t h = take(bytes.size(), a);
    h = take(h, b);
    h = take(h, c);
    h = take(h, d);
    for (; n >= 8; p += 8, n -= 8)
        h = take(h, word_at(p));
    if (n > 0) {
        std::uint64_t last = 0;
        std::memcpy(&last, p, n);
        h = take(h, last);
    }
    return mix(h);
}

}  // namespace

FileStamp make_stamp(std::string path, std::string_view bytes, const FileFacts& facts) {
    return FileStamp{std::move(path), facts.size, facts.mtime, facts.mtime_ns, bytes_hash(bytes)};
}

}  // namespace qv
