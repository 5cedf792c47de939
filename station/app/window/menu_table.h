// Helmo's main menu in one table: each entry has its menu identifier, its place and text, and a
// command. An entry without a command is shown greyed; another module's dialog is wired in with
// MainWindow::set_command(id, fn), one line per entry.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace orva::station {

struct MenuEntry {
    int id;
    std::string menu; // the top-level menu it sits in
    std::string text;
    std::function<void()> command; // empty: greyed until the dialog exists
    bool checkable = false;
};

// The main menu in order, without commands.
std::vector<MenuEntry> main_menu_entries();

// Update Satellite Database from the network sources (`orva elements update` in the window).
inline constexpr int kUpdateFromNetwork = 40011;

// Row menus (right click on a row).
inline constexpr int kEditScheduling = 40003, kRunThisPassNow = 40004, kListenOnly = 40005;
inline constexpr int kRunPassOfSatellite = 40006, kDisplayOnMap = 40007, kDisplayOnMapAndRotator = 40008,
                     kRemoveFromTracking = 40009;

// Where Help Index and Using Help open the user guide.
inline constexpr const char* kHelpIndexSection = "contents";
inline constexpr const char* kUsingHelpSection = "using-help";

} // namespace orva::station
