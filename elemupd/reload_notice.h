// Telling the station program that the element database was rewritten (message 2037 to the
// window of class "HelmoCtl"). The host supplies the messenger; tests count the posts.
#pragma once

#include "platform/result.h"

namespace orva::elemupd {

inline constexpr int kElementsReloadMessage = 2037;
inline constexpr const char* kStationWindowClass = "HelmoCtl";

class ReloadNotice {
public:
    virtual ~ReloadNotice() = default;
    // Posts 2037 with both parameters 0; an error when no station window is there to receive it.
    virtual Status post_reload() = 0;
};

} // namespace orva::elemupd
