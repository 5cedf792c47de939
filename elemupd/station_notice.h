// The host's ReloadNotice: posts 2037 to the station program's window ("HelmoCtl") through the
// platform messenger, when the build has one.
#pragma once

#include <string>

#include "elemupd/reload_notice.h"

#if ORVA_HAVE_MESSENGER
#include "platform/messenger.h"
#endif

namespace orva::elemupd {

class StationNotice : public ReloadNotice {
public:
#if ORVA_HAVE_MESSENGER
    explicit StationNotice(platform::Messenger* messenger) : messenger_(messenger) {}
#endif
    Status post_reload() override;
    const std::string& last_error() const { return last_error_; }

private:
#if ORVA_HAVE_MESSENGER
    platform::Messenger* messenger_ = nullptr;
#endif
    std::string last_error_;
};

} // namespace orva::elemupd
