#include "cli/sat/tell_station.h"

#include "platform/dbus/session_bus.h"
#include "platform/messenger.h"

namespace orva::tools {

std::string tell_station_to_reload()
{
    auto messenger = platform::dbus::session_messenger();
    platform::WindowAddress helmo{"HelmoCtl", ""};
    if (!messenger->exists(helmo))
        return "Helmo is not running; it reads the change when it starts";
    if (Status s = messenger->post(helmo, {2037, 0, 0}); !s)
        return "Helmo was not told: " + s.error().message;
    return "Helmo told to reload";
}

} // namespace orva::tools
