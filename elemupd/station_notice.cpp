#include "elemupd/station_notice.h"

namespace orva::elemupd {

Status StationNotice::post_reload()
{
#if ORVA_HAVE_MESSENGER
    if (messenger_) {
        Status st = messenger_->post({kStationWindowClass, ""}, {kElementsReloadMessage, 0, 0});
        if (!st)
            last_error_ = st.error().message;
        return st;
    }
#endif
    last_error_ = std::string("no messenger to reach \"") + kStationWindowClass + "\"";
    return make_error(last_error_);
}

} // namespace orva::elemupd
