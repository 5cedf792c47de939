// The stores the engine reads: satellite values, "SOFTWARE\Orva\General" and the callsign come
// from the store named by the local "Control Name" (another station's store file, opened
// read-only) when it is set; the station position and the engine's own key are always local.
#pragma once

#include <optional>

#include "platform/store/store.h"

namespace orva::settings {

class EngineStores {
public:
    // Fails when "Control Name" names a store that cannot be opened: the engine must end then.
    static Result<EngineStores> open(platform::Store local);

    platform::Store& local() { return local_; }
    const platform::Store& local() const { return local_; }
    // The store for satellite values, "Orva Directory" and the callsign.
    const platform::Store& control() const { return remote_ ? *remote_ : local_; }
    bool is_remote() const { return remote_.has_value(); }

private:
    EngineStores(platform::Store local, std::optional<platform::Store> remote)
        : local_(std::move(local)), remote_(std::move(remote)) {}
    platform::Store local_;
    std::optional<platform::Store> remote_;
};

} // namespace orva::settings
