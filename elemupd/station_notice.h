// The host's ReloadNotice: posts 2037 to the station program's window through the platform
// messenger.
#pragma once

#include <string>

#include "elemupd/reload_notice.h"

namespace orva::elemupd {

class StationNotice : public ReloadNotice {
public:
    Status post_reload() override;
    const std::string& last_error() const { return last_error_; }

private:
    std::string last_error_;
};

} // namespace orva::elemupd
