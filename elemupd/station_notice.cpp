#include "elemupd/station_notice.h"

namespace orva::elemupd {

Status StationNotice::post_reload()
{
    // The platform messenger (window messages over the session bus) is not in the tree yet;
    // until it is, the post reports that no station window could be reached.
    last_error_ = std::string("no messenger to reach \"") + kStationWindowClass + "\"";
    return make_error(last_error_);
}

} // namespace orva::elemupd
