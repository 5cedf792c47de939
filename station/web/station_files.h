// What the web view reads from a satellite's folders, and the one thing it writes there: the
// directory with each file's status and share received, the messages Dispo filed, a filed file's
// bytes, and a file marked for download. Satellites are found among those the store configures
// (without regard to case) and files by their number; the folder and the file name always come
// from the station's own records, never from the request.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/clock.h"
#include "platform/result.h"
#include "platform/store/store.h"

namespace orva::station::web {

inline constexpr std::size_t kMaxDirectoryRows = 500;
inline constexpr std::uint64_t kMaxServedFile = 4 * 1024 * 1024;
inline constexpr std::uint64_t kMaxShownMessage = 256 * 1024;
inline constexpr int kNotFound = 404;

// The stored "Name" of a configured satellite matching `name` without regard to case.
std::optional<std::string> configured_satellite(const platform::Store& store, std::string_view name);
// {"satellites":[{"name":..., "state":...}]}
std::string satellites_json(const platform::Store& store);

// Errors carry the HTTP status in their code (404 for an unknown satellite or file).
Result<std::string> directory_document(const platform::Store& store, std::string_view satellite,
                                       const platform::Clock& clock);
Result<std::string> messages_document(const platform::Store& store, std::string_view satellite);
Result<std::string> message_document(const platform::Store& store, std::string_view satellite, std::uint32_t file);

struct ServedFile {
    std::string name;         // the name on disk
    std::string content_type; // "text/plain; charset=utf-8" for messages, else application/octet-stream
    std::string bytes;
};
// The file as filed (entry_path of the directory model), when it is a regular file.
Result<ServedFile> filed_file(const platform::Store& store, std::string_view satellite, std::uint32_t file,
                              const platform::Clock& clock);

// Tessel's marking command on the file: status code 10 Priority, 9 Auto, 8 Auto1, 7 Auto2,
// 5 Auto3, 6 Incremental, 4 Grab or 1 Never. The new status letter comes back.
Result<char> mark_file(const platform::Store& store, std::string_view satellite, std::uint32_t file, int code,
                       const platform::Clock& clock);
bool markable_code(int code);

} // namespace orva::station::web
