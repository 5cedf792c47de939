// Element sets broadcast to KEPSET: the set replaces the database record with the same catalogue
// number when its epoch is later, and the station program is told to reload (message 2037).
#pragma once

#include "engine/frames/frame_receivers.h"
#include "engine/link/status_line.h"

#include <filesystem>
#include <functional>
#include <string_view>

namespace orva::engine {

class KepsetUpdater : public ElementSetReceiver {
public:
    // `notify_station` posts 2037 to "HelmoCtl".
    KepsetUpdater(std::filesystem::path kep_file, StatusSink& status, std::function<void()> notify_station);

    void on_element_set(std::string_view text) override;
    bool updated() const { return updated_; }

private:
    std::filesystem::path kep_file_;
    StatusSink& status_;
    std::function<void()> notify_station_;
    bool updated_ = false;
};

} // namespace orva::engine
