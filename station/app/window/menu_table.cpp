#include "station/app/window/menu_table.h"

namespace orva::station {

std::vector<MenuEntry> main_menu_entries()
{
    return {
        {101, "&Setup", "Station Setup", {}},
        {109, "&Setup", "Satellite Setup", {}},
        {110, "&Setup", "General Setup", {}},
        {116, "&Setup", "Brek Setup", {}},
        {118, "&Setup", "Tessel Setup", {}},
        {119, "&Setup", "Quillet Setup", {}},
        {120, "&Setup", "Dispo Setup", {}},
        {127, "&Setup", "Sounds", {}},
        {128, "&Setup", "Select Font", {}},
        {40001, "&Setup", "Select Map Font", {}},
        {148, "&Setup", "Programs", {}},
        {139, "S&chedule", "Track", {}},
        {132, "S&chedule", "Scheduling", {}, true},
        {125, "S&chedule", "Run Pass", {}},
        {150, "S&chedule", "Redo Schedule", {}},
        {152, "S&chedule", "Add Pass", {}},
        {151, "S&chedule", "Print Schedule", {}},
        {111, "S&chedule", "Schedule Events", {}},
        {126, "S&chedule", "Enable Rotator", {}},
        {143, "S&chedule", "Graphic Track", {}},
        {131, "S&atellites", "Edit Satellite Data", {}},
        {144, "S&atellites", "Edit Observer Database", {}},
        {130, "S&atellites", "Update Satellite Database", {}},
        {kUpdateFromNetwork, "S&atellites", "Update Satellite Database from the Network", {}},
        {114, "&Files", "File Housekeeping", {}},
        {149, "&Files", "Directory Maintenance", {}},
        {123, "&Files", "Edit Brek equations", {}},
        {124, "&Files", "Edit Tessel equations", {}},
        {142, "&Files", "Edit signature file", {}},
        {137, "&Files", "Dispo errors", {}},
        {140, "&Files", "Brek log", {}},
        {145, "&Files", "Upload status", {}},
        {135, "&Programs", "Quillet", {}},
        {136, "&Programs", "View Directory", {}},
        {141, "&Programs", "Dispo", {}},
        {901, "&Help", "Help index", {}},
        {905, "&Help", "Using help", {}},
        {999, "&Help", "About", {}},
    };
}

} // namespace orva::station
