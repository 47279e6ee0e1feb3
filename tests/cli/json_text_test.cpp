#include "cli/json_text.h"

#include <gtest/gtest.h>

#include <sstream>

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

// Documents of valid UTF-8 come out as nlohmann's own dump writes them, indented and on one line,
// whether given whole or written piece by piece.
TEST(JsonWriter, WritesWhatNlohmannDumpsWholeOrPieceByPiece) {
    using json = nlohmann::ordered_json;
    const json docs[] = {
        json::object(),
        json::array(),
        json{{"a", json::array()}, {"b", json::object()}, {"c", nullptr}, {"d", -7}},
        json{{"list", {{{"code", "06037"}, {"isState", false}}, {{"code", "x\"y"}}}},
             {"nested", {{"deep", {{"deeper", {1, 2, json::array(), true}}}}}}},
        json{1, "two", json::array({json::object()}), false},
    };
    for (const json& doc : docs) {
        std::ostringstream indented, line;
        write_json(indented, doc);
        write_json_line(line, doc);
        EXPECT_EQ(indented.str(), doc.dump(2) + "\n");
        EXPECT_EQ(line.str(), doc.dump() + "\n");
    }

    const json doc = {{"regions", {{{"code", "06037"}, {"n", 3}}, json::object()}},
                      {"empty", json::array()},
                      {"log", {"a", "b"}}};
    for (bool indent : {true, false}) {
        JsonWriter w(indent);
        w.begin_object();
        w.key("regions");
        w.begin_array();
        w.begin_object();
        w.key("code");
        w.value("06037");
        w.key("n");
        w.value(3);
        w.end_object();
        w.begin_object();
        w.end_object();
        w.end_array();
        w.key("empty");
        w.begin_array();
        w.end_array();
        w.key("log");
        w.value(json{"a", "b"});
        w.end_object();
        EXPECT_EQ(w.text(), indent ? doc.dump(2) : doc.dump());
    }
}

// A writer that passes its text on as it goes gives the sink the bytes a writer that keeps it
// all holds, for documents far larger than the pieces it passes on.
TEST(JsonWriter, ASinkGetsTheWholeDocumentInOrder) {
    for (int items : {0, 1, 5000}) {
        for (bool indent : {true, false}) {
            std::ostringstream sink;
            JsonWriter kept(indent), passed(sink, indent);
            for (JsonWriter* w : {&kept, &passed}) {
                w->begin_object();
                w->key("list");
                w->begin_array();
                for (int i = 0; i < items; ++i) {
                    w->begin_object();
                    w->key("code");
                    w->value(std::to_string(i) + "\"\xC9");
                    w->key("on");
                    w->value(i % 2 == 0);
                    w->end_object();
                }
                w->end_array();
                w->end_object();
            }
            passed.finish();
            EXPECT_EQ(sink.str(), kept.text()) << items << indent;
            EXPECT_TRUE(passed.text().empty());
            if (items > 1000) {
                EXPECT_GT(kept.text().size(), 64u * 1024);
            }
        }
    }
}

}  // namespace
}  // namespace qv::cli
