#include "runs/options_copy.h"

#include "runs/run_record.h"

namespace qv::runs {

using nlohmann::ordered_json;

// The options text in the record: as it is when it is UTF-8, else each byte as the Latin-1
// character of that number, so that any bytes come back exactly.
ordered_json options_copy_json(const OptionsCopy& copy) {
    bool utf8 = true;
    try {
        (void)ordered_json(copy.text).dump();
    } catch (const nlohmann::json::exception&) {
        utf8 = false;
    }
    std::string text;
    if (utf8) {
        text = copy.text;
    } else {
        for (unsigned char c : copy.text) {
            if (c < 0x80) {
                text += static_cast<char>(c);
            } else {
                text += static_cast<char>(0xC0 | (c >> 6));
                text += static_cast<char>(0x80 | (c & 0x3F));
            }
        }
    }
    return {{"encoding", utf8 ? "utf-8" : "latin-1"}, {"cut", copy.cut}, {"text", text}};
}

OptionsCopy options_copy_from_json(const ordered_json& j) {
    OptionsCopy copy;
    copy.cut = j.value("cut", false);
    const std::string text = j.at("text").get<std::string>();
    const std::string encoding = j.value("encoding", "utf-8");
    if (encoding == "utf-8") {
        copy.text = text;
        return copy;
    }
    if (encoding != "latin-1")
        throw RecordError("options text of encoding " + encoding);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            copy.text += static_cast<char>(c);
        } else if ((c == 0xC2 || c == 0xC3) && i + 1 < text.size()) {
            copy.text += static_cast<char>(((c & 0x03) << 6) | (text[++i] & 0x3F));
        } else {
            throw RecordError("options text is not Latin-1");
        }
    }
    return copy;
}

}  // namespace qv::runs
