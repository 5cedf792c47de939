// Elemix: merges one element-set text file into the element database and tells the station
// program when something changed. Sans-window: the host shows `message` and sets the exit code.
#pragma once

#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "elemupd/reload_notice.h"
#include "platform/store/store.h"
#include "common/element_import/element_import.h"

namespace orva::elemupd {

struct ElemixOptions {
    std::filesystem::path file;
    station::ElementFormat format = station::ElementFormat::Nasa;
};

// "F~path" and "K~format", each its own argument (a path may hold blanks). None when the line
// lacks either or names another format: Elemix then ends without touching anything.
std::optional<ElemixOptions> parse_elemix_arguments(std::span<const std::string> args);

struct ElemixMessage {
    std::string text;
    bool warning = false; // else information
};

struct ElemixRun {
    int exit_code = 0;
    std::optional<ElemixMessage> message; // the one message Elemix shows
    std::vector<std::string> lines;       // what happened to each set, for the log
    bool changed = false;
    bool notified = false;
};

ElemixRun run_elemix(const platform::Store& store, std::span<const std::string> args, ReloadNotice& notice);

} // namespace orva::elemupd
