#include "platform/store/store_text.h"

#include <cstdio>

namespace orva::platform {

namespace {

bool plain_text(const std::vector<std::uint8_t>& d)
{
    if (d.empty() || d.back() != 0)
        return false;
    for (std::size_t i = 0; i + 1 < d.size(); ++i)
        if (d[i] < 0x20 || d[i] > 0x7E)
            return false;
    return true;
}

std::string quote(std::string_view s)
{
    std::string out = "\"";
    for (char c : s) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

std::string hex_list(const std::vector<std::uint8_t>& d)
{
    std::string out;
    char buf[4];
    for (std::size_t i = 0; i < d.size(); ++i) {
        std::snprintf(buf, sizeof buf, i ? ",%02x" : "%02x", d[i]);
        out += buf;
    }
    return out;
}

void export_key(const Store& store, const std::string& key, std::string& out)
{
    out += "\n[" + key + "]\n";
    for (const auto& v : store.values(key))
        out += quote(v.name) + "=" + format_value_text(v) + "\n";
    for (const auto& sub : store.subkeys(key))
        export_key(store, join_key_path(key, sub), out);
}

struct LineParser {
    std::string_view s;
    std::size_t pos = 0;

    bool at_end() const { return pos >= s.size(); }
    bool take(char c)
    {
        if (pos < s.size() && s[pos] == c) {
            ++pos;
            return true;
        }
        return false;
    }
    bool take(std::string_view word)
    {
        if (s.substr(pos, word.size()) == word) {
            pos += word.size();
            return true;
        }
        return false;
    }
    // A quoted string with \\ and \" escapes.
    bool quoted(std::string& out)
    {
        if (!take('"'))
            return false;
        while (pos < s.size()) {
            char c = s[pos++];
            if (c == '"')
                return true;
            if (c == '\\') {
                if (pos >= s.size())
                    return false;
                c = s[pos++];
                if (c != '\\' && c != '"')
                    return false;
            }
            out += c;
        }
        return false;
    }
    static int hex_digit(char c)
    {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    }
    bool hex_bytes(std::vector<std::uint8_t>& out)
    {
        if (at_end())
            return true;
        while (true) {
            if (pos + 2 > s.size())
                return false;
            int hi = hex_digit(s[pos]), lo = hex_digit(s[pos + 1]);
            if (hi < 0 || lo < 0)
                return false;
            out.push_back(static_cast<std::uint8_t>(hi * 16 + lo));
            pos += 2;
            if (at_end())
                return true;
            if (!take(','))
                return false;
        }
    }
};

} // namespace

std::string format_value_text(const Value& v)
{
    char buf[16];
    switch (v.type) {
    case ValueType::String:
        if (plain_text(v.data))
            return quote(std::string_view(reinterpret_cast<const char*>(v.data.data()), v.data.size() - 1));
        return "hex(1):" + hex_list(v.data);
    case ValueType::Integer:
        if (v.data.size() == 4) {
            std::uint32_t n = v.data[0] | v.data[1] << 8 | v.data[2] << 16 | static_cast<std::uint32_t>(v.data[3]) << 24;
            std::snprintf(buf, sizeof buf, "dword:%08x", n);
            return buf;
        }
        return "hex(4):" + hex_list(v.data);
    case ValueType::Binary:
        return "hex:" + hex_list(v.data);
    }
    std::snprintf(buf, sizeof buf, "hex(%u):", static_cast<unsigned>(v.type));
    return buf + hex_list(v.data);
}

std::string export_store_text(const Store& store, std::string_view key)
{
    std::string out(store_text_header);
    out += "\n";
    if (key.empty()) {
        for (const auto& sub : store.subkeys(""))
            export_key(store, sub, out);
    } else if (store.key_exists(key)) {
        export_key(store, std::string(key), out);
    }
    return out;
}

Result<std::vector<StoreTextOp>> parse_store_text(std::string_view text)
{
    std::vector<StoreTextOp> ops;
    std::string key;
    bool have_key = false;
    bool header_seen = false;
    std::size_t line_no = 0;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        std::string_view line = text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
        start = end == std::string_view::npos ? text.size() + 1 : end + 1;
        ++line_no;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        auto fail = [&](const std::string& why) {
            return make_error("line " + std::to_string(line_no) + ": " + why);
        };
        std::size_t first = line.find_first_not_of(" \t");
        if (first == std::string_view::npos || line[first] == ';' || line[first] == '#')
            continue;
        if (!header_seen) {
            if (line != store_text_header)
                return fail("the text does not start with \"" + std::string(store_text_header) + "\"");
            header_seen = true;
            continue;
        }
        if (line.front() == '[') {
            if (line.back() != ']' || line.size() < 3)
                return fail("a key line must be [KEY] or [-KEY]");
            std::string_view inner = line.substr(1, line.size() - 2);
            bool del = !inner.empty() && inner.front() == '-';
            if (del)
                inner.remove_prefix(1);
            auto parts = split_key_path(inner);
            if (!parts || parts->empty())
                return fail("invalid key path \"" + std::string(inner) + "\"");
            key = std::string(inner);
            have_key = !del;
            ops.push_back(StoreTextOp{del ? StoreTextOp::Kind::DeleteKey : StoreTextOp::Kind::CreateKey, key, {}});
            continue;
        }
        if (!have_key)
            return fail("a value comes before any [KEY] line");
        LineParser p{line};
        Value v;
        if (!p.quoted(v.name))
            return fail("a value line must start with a quoted name");
        if (!p.take('='))
            return fail("\"=\" expected after the name");
        if (p.take('-')) {
            if (!p.at_end())
                return fail("unexpected text after \"=-\"");
            ops.push_back(StoreTextOp{StoreTextOp::Kind::DeleteValue, key, std::move(v)});
            continue;
        }
        if (p.s.substr(p.pos, 1) == "\"") {
            std::string text_value;
            if (!p.quoted(text_value) || !p.at_end())
                return fail("badly quoted string");
            v.type = ValueType::String;
            v.data.assign(text_value.begin(), text_value.end());
            v.data.push_back(0);
        } else if (p.take("dword:")) {
            std::string_view digits = p.s.substr(p.pos);
            if (digits.empty() || digits.size() > 8)
                return fail("dword needs 1 to 8 hex digits");
            std::uint32_t n = 0;
            for (char c : digits) {
                int d = LineParser::hex_digit(c);
                if (d < 0)
                    return fail("dword needs hex digits");
                n = n * 16 + static_cast<std::uint32_t>(d);
            }
            v.type = ValueType::Integer;
            v.data = {static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n >> 16),
                static_cast<std::uint8_t>(n >> 24)};
        } else {
            if (p.take("hex:"))
                v.type = ValueType::Binary;
            else if (p.take("hex(1):"))
                v.type = ValueType::String;
            else if (p.take("hex(3):"))
                v.type = ValueType::Binary;
            else if (p.take("hex(4):"))
                v.type = ValueType::Integer;
            else
                return fail("unknown value form (a quoted string, dword:, hex:, hex(1): or -)");
            if (!p.hex_bytes(v.data))
                return fail("badly formed hex bytes");
        }
        ops.push_back(StoreTextOp{StoreTextOp::Kind::SetValue, key, std::move(v)});
    }
    if (!header_seen)
        return make_error("empty text: no \"" + std::string(store_text_header) + "\" line");
    return ops;
}

Status apply_store_text(Store& store, const std::vector<StoreTextOp>& ops)
{
    for (const auto& op : ops) {
        Status s;
        switch (op.kind) {
        case StoreTextOp::Kind::CreateKey: {
            auto r = store.create_key(op.key);
            if (!r)
                s = r.error();
            break;
        }
        case StoreTextOp::Kind::DeleteKey:
            s = store.key_exists(op.key) ? store.delete_key(op.key) : Status{};
            break;
        case StoreTextOp::Kind::SetValue:
            s = store.write_value(op.key, op.value);
            break;
        case StoreTextOp::Kind::DeleteValue:
            s = store.read_value(op.key, op.value.name).ok() ? store.delete_value(op.key, op.value.name) : Status{};
            break;
        }
        if (!s)
            return s;
    }
    return {};
}

} // namespace orva::platform
