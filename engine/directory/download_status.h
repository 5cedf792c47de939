// The download status of a file as the other parts of the engine see it.
#pragma once

#include <cstdint>
#include <optional>

namespace orva::engine {

class DownloadStatus {
public:
    virtual ~DownloadStatus() = default;
    // The file's code, or none when it has no record (which counts as Grab).
    virtual std::optional<int> get_download_status(std::uint32_t file_number) = 0;
    // The record's resulting code; 0 when there is no table.
    virtual int set_download_status(std::uint32_t file_number, int code, bool mark_changed) = 0;
};

} // namespace orva::engine
