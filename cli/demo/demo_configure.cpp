#include "cli/demo/demo_configure.h"

#include "common/settings/satellite_record.h"
#include "common/settings/suite_settings.h"
#include "platform/port_names.h"

namespace orva::tools {

// The demo's changes to what orva setup wrote: AO-16 runs brek on the simulator's line, UO-22
// is listed but not run, and the pass ends promptly.
Status configure_demo_pass(platform::Store& store, const std::string& pty)
{
    using namespace settings;
    auto key = find_satellite_key(store, "AO-16", CaseRule::IgnoreCase);
    if (!key)
        return make_error("orva setup wrote no AO-16");
    SatelliteRecord ao = read_satellite_key(store, *key);
    ao.program = "BREK.EXE --headless %s";
    ao.state = 0;
    ao.priority = 10;
    ao.port = 1;
    ao.tnc_type = 8;          // the simulator speaks KISS from the start
    ao.start_time = 10;       // program started 10 s before AOS
    ao.run_dispo = 0;         // the demo checks the downloads first, then files them
    ao.proc_threshold = 0;
    ao.min_elevation = 0;
    ao.min_pass_time = 0;
    if (auto r = write_satellite(store, *key, ao); !r)
        return r.error();
    if (auto uo = find_satellite_key(store, "UO-22", CaseRule::IgnoreCase)) {
        SatelliteRecord rec = read_satellite_key(store, *uo);
        rec.state = 1;
        if (auto r = write_satellite(store, *uo, rec); !r)
            return r.error();
    }
    if (Status s = store.write_string(platform::serial_ports_key, "COM1", pty); !s)
        return s;
    HelmoSettings h = read_helmo(store);
    h.tracking = "AO-16~UO-22~";
    h.pass_end_time = 2;
    h.schedule_days = 1;
    h.pop_up_time = 60;
    return write_helmo(store, h);
}

} // namespace orva::tools
