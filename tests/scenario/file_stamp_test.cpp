#include "scenario/file_stamp.h"

#include <gtest/gtest.h>

#include <set>

namespace qv {
namespace {

// Any one byte changed, anywhere in a text of any length, changes the stamp; so does a byte
// more or less at the end, zero bytes included.
TEST(FileStamp, EveryChangedByteChangesTheStamp) {
    const FileFacts facts;
    for (std::size_t size = 0; size < 80; ++size) {
        std::string bytes;
        for (std::size_t i = 0; i < size; ++i)
            bytes += static_cast<char>('a' + i % 26);
        const FileStamp stamp = make_stamp("f.opt", bytes, facts);
        EXPECT_EQ(stamp, make_stamp("f.opt", std::string(bytes), facts));
        std::set<std::uint64_t> seen = {stamp.hash};
        for (std::size_t at = 0; at < size; ++at)
            for (char c : {'\0', 'A', static_cast<char>(bytes[at] ^ 0x80)}) {
                std::string changed = bytes;
                changed[at] = c;
                EXPECT_TRUE(seen.insert(make_stamp("f.opt", changed, facts).hash).second)
                    << size << " " << at;
            }
        EXPECT_NE(make_stamp("f.opt", bytes + '\0', facts).hash, stamp.hash) << size;
        if (size > 0) {
            EXPECT_NE(make_stamp("f.opt", bytes.substr(1), facts).hash, stamp.hash) << size;
        }
    }
}

}  // namespace
}  // namespace qv
