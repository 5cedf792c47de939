// Wires the setup, housekeeping and viewer dialogs into Helmo's main menu, and keeps the
// Programs menu's own entries (501 onwards) in step with "Setup Programs".
#pragma once

namespace orva::station {
class MainWindow;
class StationHost;
} // namespace orva::station

namespace orva::station::app {

void wire_setup_menu(MainWindow& window, StationHost& host);
// Removes the items 501 to 600 of the Programs menu and appends one per program entry.
void rebuild_programs_menu(MainWindow& window, StationHost& host);

} // namespace orva::station::app
