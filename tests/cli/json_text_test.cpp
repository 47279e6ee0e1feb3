#include "cli/json_text.h"

#include <gtest/gtest.h>

namespace qv::cli {
namespace {

TEST(JsonString, WritesValidUtf8AsItIsAndEachStrayByteEscaped) {
    const struct {
        std::string bytes;
        std::string json;
    } rows[] = {
        {"", R"("")"},
        {"C:\\DATA \"X\"", R"("C:\\DATA \"X\"")"},
        {"a\nb\r\tc\x01\x1f\x7f", "\"a\\nb\\r\\tc\\u0001\\u001f\x7f\""},
        {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80",
         "\"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80\""},
        {"caf\xe9", R"("caf\u00e9")"},                          // a single-byte code page
        {"\xc0\x80", R"("\u00c0\u0080")"},                      // overlong NUL
        {"\xed\xa0\x80", R"("\u00ed\u00a0\u0080")"},            // surrogate
        {"\xf4\x90\x80\x80", R"("\u00f4\u0090\u0080\u0080")"},  // past U+10FFFF
        {"\xe2\x82", R"("\u00e2\u0082")"},                      // cut short at the end
        {"\xe2\x82"
         "A",
         R"("\u00e2\u0082A")"},  // cut short before ASCII
        {"\x80\xbf\xf5\xff", R"("\u0080\u00bf\u00f5\u00ff")"},
    };
    for (const auto& r : rows)
        EXPECT_EQ(json_string(r.bytes), r.json) << r.json;
}

}  // namespace
}  // namespace qv::cli
