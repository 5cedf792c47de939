// One row per field of a setup page: its page, its label, the store value it fills, what can be
// typed into it and how the typed text becomes the stored value. The dialogs build their pages
// from these rows and `orva sat` / `orva station` take the same fields by name, so both refuse
// the same text with the same words and store the same bytes.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/result.h"

namespace orva::station::setup {

enum class Input {
    Text,    // up to `limit` characters
    Digits,  // a decimal integer of up to `limit` digits; empty is 0
    Decimal, // a decimal number of up to `limit` characters
    Flag,    // a check box
    Choice,  // one of `choices`
};

template <class R>
struct FormField {
    const char* page;
    const char* label; // as on the page
    const char* value; // the store value it writes (also accepted as the field's name)
    Input input;
    int limit = 0;
    std::vector<std::string> choices;
    std::function<std::string(const R&)> show;               // the text the page shows
    std::function<void(R&, const std::string& text)> store;  // text already checked by apply_text
    std::function<bool(const R&)> enabled = nullptr;         // greyed when false
};

bool same_text_ignoring_case(std::string_view a, std::string_view b);

// "1", "yes", "on", "true" (any case) for a ticked box; "0", "no", "off", "false" for a clear one.
std::optional<bool> parse_flag(std::string_view text);

// The typed text checked against the field's input; the error is the operator's message.
Status check_text(const char* label, Input input, int limit, const std::vector<std::string>& choices,
                  std::string_view text);

// The position of `text` in the choices (case ignored), or none.
std::optional<std::size_t> choice_index(const std::vector<std::string>& choices, std::string_view text);

// The digits as a number; the page takes unparsable text as 0.
std::uint32_t digits_value(std::string_view text);
double decimal_value(std::string_view text);

template <class R>
Status apply_text(const FormField<R>& f, R& record, std::string_view text)
{
    if (Status s = check_text(f.label, f.input, f.limit, f.choices, text); !s)
        return s;
    std::string t(text);
    if (f.input == Input::Flag)
        t = std::string(1, *parse_flag(text) ? '1' : '0');
    if (f.input == Input::Choice)
        t = f.choices[*choice_index(f.choices, text)];
    f.store(record, t);
    return {};
}

// The row named by its label or its store value, case ignored.
template <class R>
const FormField<R>* find_form_field(const std::vector<FormField<R>>& table, std::string_view name)
{
    for (const auto& f : table)
        if (same_text_ignoring_case(f.label, name) || same_text_ignoring_case(f.value, name))
            return &f;
    return nullptr;
}

// "NAME=VALUE" split at the first "=".
Result<std::pair<std::string, std::string>> split_assignment(std::string_view arg);

template <class R>
Status apply_assignments(const std::vector<FormField<R>>& table, R& record, const std::vector<std::string>& args)
{
    for (const auto& a : args) {
        auto kv = split_assignment(a);
        if (!kv)
            return kv.error();
        const FormField<R>* f = find_form_field(table, kv->first);
        if (!f)
            return make_error("there is no field \"" + kv->first + "\"");
        if (Status s = apply_text(*f, record, kv->second); !s)
            return s;
    }
    return {};
}

} // namespace orva::station::setup
