// The port mapping read from the configuration store (see port_names.h for the key).
#pragma once

#include "platform/port_names.h"
#include "platform/store/store.h"

namespace orva::platform {

// The lookup reads the store at each call, so a mapping changed while running takes effect.
PortLookup store_port_lookup(const Store& store);

} // namespace orva::platform
