#include "runs/plain_record.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <limits>
#include <utility>
#include <vector>

namespace qv::runs {

namespace {

// Thrown where the text leaves the plain form: the full parse then reads it, and says why
// when it cannot.
struct NotPlain {};

// One value of the text, in a flat tree whose children are linked by index.
struct Node {
    enum class Kind : unsigned char { null, boolean, number, string, array, object };
    Kind kind = Kind::null;
    bool truth = false;     // boolean
    bool integer = false;   // number: no fraction and no exponent
    bool escaped = false;   // string: holds escapes
    std::string_view text;  // string: between the quotes, as written; number: the token
    std::string_view key;   // member of an object: its key
    int first = -1, last = -1, next = -1;
};
using Kind = Node::Kind;

// Reads the plain subset of JSON: whitespace, objects, arrays, ASCII strings whose escapes are
// the one-letter ones, numbers, true, false and null. Anything else is NotPlain, including what
// JSON allows but the subset leaves out, so that nothing accepted here is refused in full.
class Scanner {
  public:
    // The nodes go into NODES, emptied first: one vector serves every record a thread reads.
    Scanner(std::string_view text, std::vector<Node>& nodes) : t_(text), nodes_(nodes) {
        nodes_.clear();
    }

    void scan() {
        skip();
        value(0);
        skip();
        if (at_ != t_.size())
            throw NotPlain{};
    }

  private:
    static constexpr int max_depth = 32;

    void skip() {
        while (at_ < t_.size() &&
               (t_[at_] == ' ' || t_[at_] == '\n' || t_[at_] == '\r' || t_[at_] == '\t'))
            ++at_;
    }
    char peek() const { return at_ < t_.size() ? t_[at_] : '\0'; }
    void expect(char c) {
        if (peek() != c)
            throw NotPlain{};
        ++at_;
    }

    void add_child(int parent, int child) {
        Node& p = nodes_[static_cast<std::size_t>(parent)];
        if (p.last < 0)
            p.first = child;
        else
            nodes_[static_cast<std::size_t>(p.last)].next = child;
        p.last = child;
    }

    // The index of the node made for the value at the current place.
    int value(int depth) {
        if (depth > max_depth)
            throw NotPlain{};
        const int self = static_cast<int>(nodes_.size());
        nodes_.emplace_back();
        switch (peek()) {
            case '{':
                members(self, depth);
                break;
            case '[':
                items(self, depth);
                break;
            case '"': {
                bool escaped = false;
                const std::string_view text = string(escaped);
                Node& n = nodes_[static_cast<std::size_t>(self)];
                n.kind = Kind::string;
                n.text = text;
                n.escaped = escaped;
                break;
            }
            case 't':
                word("true", self, Kind::boolean, true);
                break;
            case 'f':
                word("false", self, Kind::boolean, false);
                break;
            case 'n':
                word("null", self, Kind::null, false);
                break;
            default:
                number(self);
        }
        return self;
    }

    void members(int self, int depth) {
        nodes_[static_cast<std::size_t>(self)].kind = Kind::object;
        ++at_;
        skip();
        if (peek() == '}') {
            ++at_;
            return;
        }
        for (;;) {
            bool escaped = false;
            if (peek() != '"')
                throw NotPlain{};
            const std::string_view key = string(escaped);
            if (escaped)
                throw NotPlain{};
            skip();
            expect(':');
            skip();
            const int child = value(depth + 1);
            nodes_[static_cast<std::size_t>(child)].key = key;
            add_child(self, child);
            skip();
            if (peek() == ',') {
                ++at_;
                skip();
                continue;
            }
            expect('}');
            return;
        }
    }

    void items(int self, int depth) {
        nodes_[static_cast<std::size_t>(self)].kind = Kind::array;
        ++at_;
        skip();
        if (peek() == ']') {
            ++at_;
            return;
        }
        for (;;) {
            add_child(self, value(depth + 1));
            skip();
            if (peek() == ',') {
                ++at_;
                skip();
                continue;
            }
            expect(']');
            return;
        }
    }

    // What a byte is within a string: most are plain; the quote ends it, a backslash starts
    // an escape, and a control byte or one past ASCII leaves the plain form.
    enum : unsigned char { plain_byte, quote_byte, escape_byte, foreign_byte };
    static constexpr auto byte_kinds = [] {
        std::array<unsigned char, 256> kinds{};
        for (int c = 0; c < 256; ++c)
            kinds[static_cast<std::size_t>(c)] = c < 0x20 || c >= 0x80 ? foreign_byte
                                                 : c == '"'            ? quote_byte
                                                 : c == '\\'           ? escape_byte
                                                                       : plain_byte;
        return kinds;
    }();

    // Past the plain bytes from AT on, eight at a time: a record's strings are mostly long runs
    // of them (console lines, the copy of the options text).
    std::size_t plain_run_end(std::size_t at) const {
        constexpr std::uint64_t ones = 0x0101010101010101ULL, highs = 0x8080808080808080ULL;
        while (at + 8 <= t_.size()) {
            std::uint64_t x;
            std::memcpy(&x, t_.data() + at, 8);
            const auto zero_in = [&](std::uint64_t v) { return (v - ones) & ~v & highs; };
            // A byte past ASCII, one below 0x20, a quote or a backslash ends the run.
            const std::uint64_t special = (x & highs) | ((x - ones * 0x20) & ~x & highs) |
                                          zero_in(x ^ (ones * '"')) | zero_in(x ^ (ones * '\\'));
            if (special != 0)
                break;
            at += 8;
        }
        while (at < t_.size() && byte_kinds[static_cast<unsigned char>(t_[at])] == plain_byte)
            ++at;
        return at;
    }

    std::string_view string(bool& escaped) {
        ++at_;
        const std::size_t from = at_;
        while (at_ < t_.size()) {
            at_ = plain_run_end(at_);
            if (at_ >= t_.size())
                break;
            const unsigned char kind = byte_kinds[static_cast<unsigned char>(t_[at_])];
            if (kind == plain_byte) {
                ++at_;
                continue;
            }
            if (kind == quote_byte) {
                ++at_;
                return t_.substr(from, at_ - 1 - from);
            }
            if (kind == foreign_byte || at_ + 1 >= t_.size())
                throw NotPlain{};
            switch (t_[at_ + 1]) {
                case '"':
                case '\\':
                case '/':
                case 'b':
                case 'f':
                case 'n':
                case 'r':
                case 't':
                    break;
                default:
                    throw NotPlain{};
            }
            escaped = true;
            at_ += 2;
        }
        throw NotPlain{};
    }

    void word(std::string_view w, int self, Kind kind, bool truth) {
        if (t_.substr(at_, w.size()) != w)
            throw NotPlain{};
        at_ += w.size();
        Node& n = nodes_[static_cast<std::size_t>(self)];
        n.kind = kind;
        n.truth = truth;
    }

    // -? (0 | [1-9][0-9]*) (. [0-9]+)? ([eE] [+-]? [0-9]+)?
    void number(int self) {
        const std::size_t from = at_;
        auto digits = [&] {
            const std::size_t start = at_;
            while (at_ < t_.size() && t_[at_] >= '0' && t_[at_] <= '9')
                ++at_;
            if (at_ == start)
                throw NotPlain{};
        };
        if (peek() == '-')
            ++at_;
        if (peek() == '0')
            ++at_;
        else
            digits();
        bool integer = true;
        if (peek() == '.') {
            ++at_;
            digits();
            integer = false;
        }
        if (peek() == 'e' || peek() == 'E') {
            ++at_;
            if (peek() == '+' || peek() == '-')
                ++at_;
            digits();
            integer = false;
        }
        Node& n = nodes_[static_cast<std::size_t>(self)];
        n.kind = Kind::number;
        n.integer = integer;
        n.text = t_.substr(from, at_ - from);
    }

    std::string_view t_;
    std::size_t at_ = 0;
    std::vector<Node>& nodes_;
};

// The record's fields read from the tree as parse_record reads them from the JSON document;
// wherever that would fail, or the tree is not of the plain form, NotPlain.
class Fields {
  public:
    // BRIEF: what a check needs only (see read_record_for_check); the rest is checked for its
    // type and left out.
    Fields(const std::vector<Node>& nodes, bool brief) : n_(nodes), brief_(brief) {}

    const Node& at(int i) const { return n_[static_cast<std::size_t>(i)]; }

    // The member KEY of the object O; -1 when there is none. Two of one key are not plain.
    int find(int o, std::string_view key) const {
        int found = -1;
        for (int c = at(o).first; c >= 0; c = at(c).next)
            if (at(c).key == key) {
                if (found >= 0)
                    throw NotPlain{};
                found = c;
            }
        return found;
    }
    int need(int o, std::string_view key) const {
        const int i = find(o, key);
        if (i < 0)
            throw NotPlain{};
        return i;
    }
    int of_kind(int i, Kind kind) const {
        if (at(i).kind != kind)
            throw NotPlain{};
        return i;
    }

    std::string text(int i) const {
        const Node& s = at(of_kind(i, Kind::string));
        if (!s.escaped)
            return std::string(s.text);
        std::string out;
        out.reserve(s.text.size());
        for (std::size_t k = 0; k < s.text.size(); ++k) {
            const std::size_t escape = s.text.find('\\', k);
            out.append(s.text.substr(k, escape - k));
            if (escape == std::string_view::npos)
                break;
            k = escape;
            switch (s.text[++k]) {
                case 'b':
                    out += '\b';
                    break;
                case 'f':
                    out += '\f';
                    break;
                case 'n':
                    out += '\n';
                    break;
                case 'r':
                    out += '\r';
                    break;
                case 't':
                    out += '\t';
                    break;
                default:  // '"', '\\', '/'
                    out += s.text[k];
            }
        }
        return out;
    }
    std::string text_or(int o, std::string_view key, std::string fallback) const {
        const int i = find(o, key);
        return i < 0 ? fallback : text(i);
    }
    // As text_or, but in a brief reading only checked to be a text when present.
    std::string full_text_or(int o, std::string_view key, std::string fallback) const {
        if (!brief_)
            return text_or(o, key, std::move(fallback));
        if (const int i = find(o, key); i >= 0)
            of_kind(i, Kind::string);
        return {};
    }
    bool truth_or(int o, std::string_view key, bool fallback) const {
        const int i = find(o, key);
        return i < 0 ? fallback : at(of_kind(i, Kind::boolean)).truth;
    }

    // An integer within LOW..HIGH; a number past the 64-bit range, a fraction or one outside
    // the bounds is left to the full parse, which refuses it by name.
    template <class T>
    T integer(int i, T low, T high) const {
        const Node& num = at(of_kind(i, Kind::number));
        if (!num.integer)
            throw NotPlain{};
        const char* first = num.text.data();
        const char* last = first + num.text.size();
        if (num.text[0] == '-') {
            std::int64_t v = 0;
            if (std::from_chars(first, last, v).ec != std::errc{} || std::cmp_less(v, low) ||
                std::cmp_greater(v, high))
                throw NotPlain{};
            return static_cast<T>(v);
        }
        std::uint64_t v = 0;
        if (std::from_chars(first, last, v).ec != std::errc{} || std::cmp_less(v, low) ||
            std::cmp_greater(v, high))
            throw NotPlain{};
        return static_cast<T>(v);
    }

    std::int64_t time_ms(int i) const {
        const auto ms = parse_iso_utc(text(i));
        if (!ms)
            throw NotPlain{};
        return *ms;
    }

    RecordedFile file(int o, const std::string& role) const {
        of_kind(o, Kind::object);
        // The members are found in one pass over the object, which a record has dozens of.
        enum Member {
            role_m,
            packet_m,
            key_m,
            written_m,
            path_m,
            kind_m,
            exists_m,
            size_m,
            mtime_ns_m,
            mtime_m,
            sha256_m,
            not_hashed_m,
            written_by_this_run_m,
            member_count
        };
        static constexpr std::string_view names[member_count] = {"role",
                                                                 "packet",
                                                                 "key",
                                                                 "written",
                                                                 "path",
                                                                 "kind",
                                                                 "exists",
                                                                 "size",
                                                                 "mtime_ns",
                                                                 "mtime",
                                                                 "sha256",
                                                                 "not_hashed",
                                                                 "written_by_this_run"};
        int m[member_count];
        std::fill(std::begin(m), std::end(m), -1);
        for (int c = at(o).first; c >= 0; c = at(c).next) {
            const std::string_view key = at(c).key;
            for (int i = 0; i < member_count; ++i)
                if (key == names[i]) {
                    // Two of one key are not plain.
                    if (m[i] >= 0)
                        throw NotPlain{};
                    m[i] = c;
                    break;
                }
        }
        auto text_or_at = [&](int i, std::string fallback) { return i < 0 ? fallback : text(i); };
        auto full_text_or_at = [&](int i) {
            if (!brief_)
                return text_or_at(i, "");
            if (i >= 0)
                of_kind(i, Kind::string);
            return std::string();
        };
        auto truth_or_at = [&](int i) { return i >= 0 && at(of_kind(i, Kind::boolean)).truth; };
        RecordedFile f;
        f.role = text_or_at(m[role_m], role);
        f.packet = full_text_or_at(m[packet_m]);
        f.key = full_text_or_at(m[key_m]);
        f.written = full_text_or_at(m[written_m]);
        if (m[path_m] < 0)
            throw NotPlain{};
        f.path = text(m[path_m]);
        f.kind = text_or_at(m[kind_m], "file");
        f.exists = truth_or_at(m[exists_m]);
        if (m[size_m] >= 0)
            f.size = integer<std::uint64_t>(m[size_m], 0, std::numeric_limits<std::int64_t>::max());
        if (m[mtime_ns_m] >= 0)
            f.mtime_ns =
                integer<std::int64_t>(m[mtime_ns_m], std::numeric_limits<std::int64_t>::min(),
                                      std::numeric_limits<std::int64_t>::max());
        else if (m[mtime_m] >= 0)
            f.mtime_ns = time_ms(m[mtime_m]) * 1'000'000;
        f.sha256 = text_or_at(m[sha256_m], "");
        f.not_hashed = text_or_at(m[not_hashed_m], "");
        f.written_by_this_run = truth_or_at(m[written_by_this_run_m]);
        return f;
    }

    std::vector<RecordedFile> files(int array, const std::string& role) const {
        std::vector<RecordedFile> out;
        std::size_t count = 0;
        for (int c = at(of_kind(array, Kind::array)).first; c >= 0; c = at(c).next)
            ++count;
        out.reserve(count);
        for (int c = at(array).first; c >= 0; c = at(c).next)
            out.push_back(file(c, role));
        return out;
    }

    RunRecord record() const {
        constexpr int root = 0;
        of_kind(root, Kind::object);
        if (text(need(root, "format")) != record_format)
            throw NotPlain{};
        RunRecord r;
        const int program = of_kind(need(root, "program"), Kind::object);
        r.program_name = full_text_or(program, "name", "");
        r.program_version = full_text_or(program, "version", "");
        r.host = full_text_or(root, "host", "");
        r.user = full_text_or(root, "user", "");
        r.title = full_text_or(root, "title", "");
        r.options_file = file(need(root, "options_file"), "options file");
        const int model = need(root, "model");
        r.model = file(model, "model");
        r.command_line = full_text_or(model, "command_line", "");
        r.working_dir = full_text_or(model, "working_dir", "");
        r.reference_db = file(need(root, "reference_db"), "reference database");
        r.inputs = files(need(root, "inputs"), "input");
        r.results = files(need(root, "results"), "");
        r.started_ms = time_ms(need(root, "started"));
        r.ended_ms = time_ms(need(root, "ended"));
        if (const int exit = need(root, "exit"); at(exit).kind == Kind::object) {
            if (const int sig = find(exit, "signal"); sig >= 0)
                r.signal = integer<int>(sig, 1, 127);
            if (const int status = find(exit, "status"); status >= 0)
                r.exit_status = integer<int>(status, 0, 255);
        }
        if (const int stopped = find(root, "stopped");
            stopped >= 0 && at(stopped).kind != Kind::null) {
            const auto reason = stop_reason_of_word(text(stopped));
            if (!reason || *reason == StopReason::none)
                throw NotPlain{};
            r.stopped = *reason;
        }
        r.failure = text_or(root, "failure", "");
        r.note = full_text_or(root, "note", "");
        if (const int tail = find(root, "console_tail"); tail >= 0) {
            for (int c = at(of_kind(tail, Kind::array)).first; c >= 0; c = at(c).next) {
                if (brief_)
                    of_kind(c, Kind::string);
                else
                    r.console_tail.push_back(text(c));
            }
        }
        if (const int copy = find(root, "options_text"); copy >= 0) {
            of_kind(copy, Kind::object);
            OptionsCopy c;
            c.cut = truth_or(copy, "cut", false);
            if (const int t = need(copy, "text"); brief_)
                of_kind(t, Kind::string);
            else
                c.text = text(t);
            // Plain text is ASCII, which Latin-1 spells as UTF-8 does.
            const std::string encoding = text_or(copy, "encoding", "utf-8");
            if (encoding != "utf-8" && encoding != "latin-1")
                throw NotPlain{};
            if (!brief_)
                r.options_copy = std::move(c);
        }
        return r;
    }

  private:
    const std::vector<Node>& n_;
    const bool brief_;
};

std::optional<RunRecord> read_plain(std::string_view text, bool brief) {
    thread_local std::vector<Node> nodes;
    try {
        Scanner(text, nodes).scan();
        return Fields(nodes, brief).record();
    } catch (const NotPlain&) {
        return std::nullopt;
    }
}

}  // namespace

std::optional<RunRecord> read_plain_record(std::string_view text) {
    return read_plain(text, false);
}

RunRecord read_record(std::string_view text) {
    if (auto plain = read_plain(text, false))
        return std::move(*plain);
    return parse_record(text);
}

RunRecord read_record_for_check(std::string_view text) {
    if (auto plain = read_plain(text, true))
        return std::move(*plain);
    RunRecord r = parse_record(text);
    leave_out_for_check(r);
    return r;
}

void leave_out_for_check(RunRecord& r) {
    r.program_name.clear();
    r.program_version.clear();
    r.host.clear();
    r.user.clear();
    r.title.clear();
    r.command_line.clear();
    r.working_dir.clear();
    r.note.clear();
    r.console_tail.clear();
    r.options_copy.reset();
    for (RecordedFile* f : {&r.options_file, &r.model, &r.reference_db})
        f->packet.clear(), f->key.clear(), f->written.clear();
    for (auto* files : {&r.inputs, &r.results})
        for (RecordedFile& f : *files)
            f.packet.clear(), f.key.clear(), f.written.clear();
}

}  // namespace qv::runs
