// A small JSON writer for the documents the programs hand to scripts and web pages. Texts are
// written as UTF-8: valid UTF-8 passes through, any other byte is read as Latin-1, so whatever a
// header or a file held comes out as a valid JSON string.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orva {

// `text` as a quoted JSON string.
std::string json_quote(std::string_view text);
// `text` as UTF-8: kept where it is valid UTF-8, each other byte read as Latin-1.
std::string utf8_or_latin1(std::string_view text);

class JsonWriter {
public:
    JsonWriter& begin_object();
    JsonWriter& end_object();
    JsonWriter& begin_array();
    JsonWriter& end_array();
    // The name of the next member of the current object.
    JsonWriter& key(std::string_view name);

    JsonWriter& value(std::string_view text);
    JsonWriter& value(const char* text) { return value(std::string_view(text)); }
    JsonWriter& value(const std::string& text) { return value(std::string_view(text)); }
    JsonWriter& value(bool b);
    JsonWriter& value(std::int64_t n);
    JsonWriter& value(int n) { return value(std::int64_t(n)); }
    JsonWriter& value(unsigned n) { return value(std::int64_t(n)); }
    JsonWriter& value(std::uint64_t n);
    // Rounded to `decimals` places; not-a-number and infinities are written as null.
    JsonWriter& value(double d, int decimals);
    JsonWriter& null();
    // A document already written (another writer's text), taken as one value.
    JsonWriter& raw(std::string_view json);

    template <class T>
    JsonWriter& field(std::string_view name, const T& v)
    {
        key(name);
        return value(v);
    }
    JsonWriter& field(std::string_view name, double d, int decimals)
    {
        key(name);
        return value(d, decimals);
    }

    const std::string& text() const { return out_; }
    std::string take() { return std::move(out_); }

private:
    void separate();
    std::string out_;
    std::vector<bool> first_; // per open container: no member written yet
    bool after_key_ = false;
};

} // namespace orva
