// What the link needs from the satellite record, and where its TNC is.
//
// The satellite value "TNC Address" (Linux only, string, "host:port") names a KISS TNC on the
// network, as a soundcard modem such as direwolf serves it; when it is set the link connects
// there instead of opening the serial "Port". Serial "COMn" names map to devices through the
// "SOFTWARE\Orva\Linux\Serial Ports" key; a port missing there is /dev/ttyS(n-1).
#pragma once

#include "engine/link/tnc_sequencer.h"
#include "platform/result.h"

#include <cstdint>
#include <string>

namespace orva::platform {
class Store;
}
namespace orva::settings {
struct SatelliteRecord;
}

namespace orva::engine {

struct LinkSettings {
    std::string device;      // serial device; unused when tnc_address is set
    std::string tnc_address; // "host:port"
    std::uint32_t speed = 19200;
    std::uint32_t tx_buffer = 4096; // "TxBuffer": the output-queue check
    std::uint32_t rx_buffer = 32768;
    bool smack = false; // "Test SMACK"
    TncSetup tnc;

    bool networked() const { return !tnc_address.empty(); }
    std::string describe() const { return networked() ? tnc_address : device; }
};

// "COM%d" for the stored "Port", resolved to a device.
std::string serial_device_for_port(const platform::Store& store, std::uint32_t port);

LinkSettings link_settings_from(const settings::SatelliteRecord& record, const platform::Store& store);

} // namespace orva::engine
