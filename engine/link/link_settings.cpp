#include "engine/link/link_settings.h"

#include "common/settings/keys.h"
#include "common/settings/satellite_record.h"
#include "engine/link/kiss_encoder.h"
#include "platform/store/store.h"

namespace orva::engine {

std::string serial_device_for_port(const platform::Store& store, std::uint32_t port) {
    const std::string name = "COM" + std::to_string(port);
    if (auto mapped = store.read_string(settings::keys::ports, name, 260); mapped && !mapped->empty()) return *mapped;
    return "/dev/ttyS" + std::to_string(port > 0 ? port - 1 : 0);
}

LinkSettings link_settings_from(const settings::SatelliteRecord& r, const platform::Store& store) {
    LinkSettings s;
    s.tnc_address = r.tnc_address;
    if (!s.networked()) s.device = serial_device_for_port(store, r.port);
    s.speed = r.speed;
    s.tx_buffer = r.tx_buffer;
    s.rx_buffer = r.rx_buffer;
    s.smack = r.test_smack != 0;
    s.tnc.tnc_type = int(r.tnc_type);
    s.tnc.tx_port_nibble = tx_port_nibble(int(r.tx_port));
    s.tnc.tx_delay_ms = r.tx_delay;
    s.tnc.tx_tail_ms = r.tx_tail;
    s.tnc.retry_time_ms = r.retry_time;
    s.tnc.max_frame = int(r.max_frame);
    s.tnc.retries = int(r.retries);
    return s;
}

} // namespace orva::engine
