#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

namespace qv::cli {

// A JSON string literal holding exactly the given bytes: valid UTF-8 is written as it is, and
// each byte that is not part of a valid UTF-8 sequence is written as \u00XX, so text in a
// single-byte code page comes out intact instead of failing the whole document.
std::string json_string(std::string_view bytes);

// Writes the document indented by two blanks, strings through json_string. nlohmann's own dump
// refuses invalid UTF-8, and options files are bytes, so every document qvopt prints goes
// through here.
void write_json(std::ostream& out, const nlohmann::ordered_json& doc);
// The same, all on one line (JSON lines: one document per line).
void write_json_line(std::ostream& out, const nlohmann::ordered_json& doc);

// Writes a JSON document piece by piece into one buffer, in the same form as write_json (or,
// with INDENT false, write_json_line), so that a large document such as a scenario with
// thousands of regions is written without first being built as a tree.
class JsonWriter {
  public:
    explicit JsonWriter(bool indent = true) : indent_(indent) {}
    // Passes the text on to `sink` a piece at a time as it grows, so that a document of
    // megabytes never stands whole in memory; finish() passes on the rest.
    explicit JsonWriter(std::ostream& sink, bool indent = true) : sink_(&sink), indent_(indent) {}

    void begin_object() { open('{'); }
    void end_object() { close('}'); }
    void begin_array() { open('['); }
    void end_array() { close(']'); }
    // The key of the next member of the object being written.
    void key(std::string_view name);
    void value(std::string_view text);
    void value(const char* text) { value(std::string_view(text)); }
    void value(const std::string& text) { value(std::string_view(text)); }
    void value(bool b);
    void value(int n);
    void value(std::nullptr_t);
    // A whole document, written as a member or item in this writer's form.
    void value(const nlohmann::ordered_json& doc);

    // The text so far (with a sink, the text not yet passed on); with the last container
    // closed, the whole document.
    const std::string& text() const { return out_; }
    // With a sink, passes on the text not yet passed on.
    void finish();

  private:
    void open(char bracket);
    void close(char bracket);
    // Before an item of an array, or a key of an object: the comma and line break it needs.
    void next_item();
    // Before a value: nothing after a key, the item's separator inside an array.
    void before_value();

    struct Level {
        bool empty = true;
        bool object = false;
    };
    std::string out_;
    std::ostream* sink_ = nullptr;
    std::vector<Level> levels_;
    bool after_key_ = false;
    bool indent_;
};

}  // namespace qv::cli
