#include "common/settings/engine_stores.h"

#include "common/settings/keys.h"

namespace orva::settings {

Result<EngineStores> EngineStores::open(platform::Store local)
{
    auto name = local.read_string(keys::station, "Control Name", 100);
    if (!name || name->empty())
        return EngineStores(std::move(local), std::nullopt);
    auto remote = platform::Store::open(*name, platform::Access::ReadOnly);
    if (!remote)
        return remote.error();
    return EngineStores(std::move(local), std::move(*remote));
}

} // namespace orva::settings
