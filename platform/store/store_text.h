// The store as text, for operators and scripts:
//
//   Orva Store 1
//   [SOFTWARE\Orva\Station]
//   "Callsign"=hex(1):47,34,58,59,5a      a string value's exact bytes (here, no NUL)
//   "Name"="AO-16"                         a string stored with its NUL
//   "Port"=dword:00000001
//   "Longitude"=hex:00,00,00,00,00,00,f8,bf
//   "Old"=-                                deletes a value
//   [-SOFTWARE\Orva\Satellites\XX]         deletes a key and all below it
//
// Strings escape \\ and \" only; anything else that is not plain printable text is written as
// hex(1) so every byte survives the round trip.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/store/store.h"

namespace orva::platform {

inline constexpr std::string_view store_text_header = "Orva Store 1";

std::string export_store_text(const Store& store, std::string_view key = {});

struct StoreTextOp {
    enum class Kind { CreateKey, DeleteKey, SetValue, DeleteValue } kind;
    std::string key;
    Value value; // name only, for DeleteValue
};

// Parses the whole text first: a text with any error yields that error (with its line number)
// and no operations, so an import never half applies.
Result<std::vector<StoreTextOp>> parse_store_text(std::string_view text);
// Applies parsed operations in order; stops at the first failure.
Status apply_store_text(Store& store, const std::vector<StoreTextOp>& ops);

// One value as it appears on the right of "=".
std::string format_value_text(const Value& value);

} // namespace orva::platform
