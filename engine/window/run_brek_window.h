// Brek with its window: the window over a session the host has made, until the session ends.
#pragma once

#include <string>

namespace orva::platform {
class Store;
}

namespace orva::engine {

class BrekSession;

// Needs a QApplication. Creates and shows the window, starts the session on `satellite`, runs
// the event loop and returns its exit code. `store` holds Brek's settings (may be null).
int run_brek_window(BrekSession& session, platform::Store* store, const std::string& satellite);

} // namespace orva::engine
