#include "cli/json_text.h"

namespace qv::cli {

namespace {

// Length of the valid UTF-8 sequence starting at bytes[i], or 0 when the byte there does not
// start one (overlong forms, surrogates and code points past U+10FFFF are not valid).
std::size_t utf8_sequence(std::string_view bytes, std::size_t i) {
    auto at = [&](std::size_t k) { return static_cast<unsigned char>(bytes[k]); };
    const unsigned char b = at(i);
    if (b < 0x80)
        return 1;
    std::size_t len = 0;
    unsigned char lo = 0x80, hi = 0xBF;
    if (b >= 0xC2 && b <= 0xDF) {
        len = 2;
    } else if (b >= 0xE0 && b <= 0xEF) {
        len = 3;
        if (b == 0xE0)
            lo = 0xA0;
        if (b == 0xED)
            hi = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
        len = 4;
        if (b == 0xF0)
            lo = 0x90;
        if (b == 0xF4)
            hi = 0x8F;
    } else {
        return 0;
    }
    if (i + len > bytes.size())
        return 0;
    if (at(i + 1) < lo || at(i + 1) > hi)
        return 0;
    for (std::size_t k = 2; k < len; ++k)
        if (at(i + k) < 0x80 || at(i + k) > 0xBF)
            return 0;
    return len;
}

void escape_byte(std::string& s, unsigned char b) {
    static constexpr char hex[] = "0123456789abcdef";
    const char text[] = {'\\', 'u', '0', '0', hex[b >> 4], hex[b & 15]};
    s.append(text, sizeof text);
}

bool is_plain(unsigned char b) {
    return b >= 0x20 && b < 0x80 && b != '"' && b != '\\';
}

void append_json_string(std::string& s, std::string_view bytes) {
    s += '"';
    for (std::size_t i = 0; i < bytes.size();) {
        // Codes and names are mostly plain ASCII, copied a run at a time.
        std::size_t plain = i;
        while (plain < bytes.size() && is_plain(static_cast<unsigned char>(bytes[plain])))
            ++plain;
        if (plain > i) {
            s.append(bytes.substr(i, plain - i));
            i = plain;
            continue;
        }
        const auto b = static_cast<unsigned char>(bytes[i]);
        std::size_t len = utf8_sequence(bytes, i);
        if (len == 0) {
            escape_byte(s, b);
            ++i;
            continue;
        }
        if (len == 1) {
            switch (b) {
                case '"':
                    s += "\\\"";
                    break;
                case '\\':
                    s += "\\\\";
                    break;
                case '\n':
                    s += "\\n";
                    break;
                case '\r':
                    s += "\\r";
                    break;
                case '\t':
                    s += "\\t";
                    break;
                case '\b':
                    s += "\\b";
                    break;
                case '\f':
                    s += "\\f";
                    break;
                default:
                    if (b < 0x20)
                        escape_byte(s, b);
                    else
                        s += static_cast<char>(b);
            }
        } else {
            s.append(bytes.substr(i, len));
        }
        i += len;
    }
    s += '"';
}

}  // namespace

std::string json_string(std::string_view bytes) {
    std::string s;
    append_json_string(s, bytes);
    return s;
}

// The document is written into one buffer: a scenario with thousands of regions is a
// megabyte of text, and one stream write per piece costs more than the text itself.
void write_json(std::ostream& out, const nlohmann::ordered_json& doc) {
    JsonWriter w(true);
    w.value(doc);
    out << w.text() << '\n';
}

void write_json_line(std::ostream& out, const nlohmann::ordered_json& doc) {
    JsonWriter w(false);
    w.value(doc);
    out << w.text() << '\n';
}

void JsonWriter::finish() {
    // Without a sink the text is the caller's to take: nothing is passed on or dropped.
    if (!sink_)
        return;
    sink_->write(out_.data(), static_cast<std::streamsize>(out_.size()));
    out_.clear();
}

void JsonWriter::next_item() {
    // A buffer that grew to the whole document would touch fresh memory at every doubling,
    // which costs more than the writes it saves.
    static constexpr std::size_t piece = 64 * 1024;
    if (sink_ && out_.size() >= piece)
        finish();
    if (levels_.empty())
        return;
    Level& level = levels_.back();
    if (!level.empty)
        out_ += ',';
    level.empty = false;
    if (indent_) {
        out_ += '\n';
        out_.append(levels_.size() * 2, ' ');
    }
}

void JsonWriter::before_value() {
    if (after_key_)
        after_key_ = false;
    else
        next_item();
}

void JsonWriter::key(std::string_view name) {
    next_item();
    append_json_string(out_, name);
    out_ += indent_ ? ": " : ":";
    after_key_ = true;
}

void JsonWriter::open(char bracket) {
    before_value();
    out_ += bracket;
    levels_.push_back({true, bracket == '{'});
}

void JsonWriter::close(char bracket) {
    const bool was_empty = levels_.back().empty;
    levels_.pop_back();
    if (!was_empty && indent_) {
        out_ += '\n';
        out_.append(levels_.size() * 2, ' ');
    }
    out_ += bracket;
}

void JsonWriter::value(std::string_view text) {
    before_value();
    append_json_string(out_, text);
}

void JsonWriter::value(bool b) {
    before_value();
    out_ += b ? "true" : "false";
}

void JsonWriter::value(int n) {
    before_value();
    out_ += std::to_string(n);
}

void JsonWriter::value(std::nullptr_t) {
    before_value();
    out_ += "null";
}

void JsonWriter::value(const nlohmann::ordered_json& v) {
    using json = nlohmann::ordered_json;
    switch (v.type()) {
        case json::value_t::string:
            value(std::string_view(v.get_ref<const std::string&>()));
            return;
        case json::value_t::array:
            begin_array();
            for (const auto& item : v)
                value(item);
            end_array();
            return;
        case json::value_t::object:
            begin_object();
            for (const auto& [name, item] : v.items()) {
                key(name);
                value(item);
            }
            end_object();
            return;
        case json::value_t::boolean:
            value(v.get<bool>());
            return;
        default:
            // Numbers and null hold no text.
            before_value();
            out_ += v.dump();
            return;
    }
}

}  // namespace qv::cli
