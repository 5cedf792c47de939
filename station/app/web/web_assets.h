// The page's files, built into the program (generated from station/app/web/assets).
#pragma once

#include <string_view>

namespace orva::station {

struct WebAsset {
    std::string_view name;
    std::string_view content_type;
    std::string_view bytes;
};

// "index.html", "app.js", "app.css", "icon.svg"; none for any other name.
const WebAsset* find_web_asset(std::string_view name);

} // namespace orva::station
