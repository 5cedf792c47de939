#include "cli/setup/demo_station.h"

#include "common/element_import/element_import.h"
#include "common/elements/kep_database.h"
#include "common/elements/observer_file.h"
#include "common/settings/keys.h"
#include "common/settings/satellite_record.h"
#include "common/settings/suite_settings.h"

namespace orva::tools {

namespace fs = std::filesystem;
using namespace orva::settings;

Result<std::vector<std::string>> create_demo_station(platform::Store& store, const fs::path& suite_directory)
{
    std::error_code ec;
    fs::path suite = fs::absolute(suite_directory, ec);
    if (ec)
        return make_error("cannot use \"" + suite_directory.string() + "\": " + ec.message());
    std::vector<std::string> messages;
    std::string suite_text = prepare_directory(suite.string(), messages);
    if (!messages.empty())
        return make_error(messages.front());

    GeneralSettings general = read_general(store, Program::Helmo);
    general.orva_directory = suite_text;
    if (auto s = write_general(store, general); !s)
        return s.error();

    StationSettings station = read_station(store, Program::Helmo);
    station.callsign = demo_callsign;
    station.latitude = demo_latitude;
    station.longitude = demo_longitude;
    station.altitude = demo_altitude;
    if (auto s = write_station(store, station); !s)
        return s.error();

    // The option pages' defaults, as the installer leaves them.
    if (auto s = write_dispo(store, dispo_page_defaults()); !s)
        return s.error();
    if (auto s = write_tessel(store, tessel_page_defaults()); !s)
        return s.error();

    for (const auto& demo : demo_satellites) {
        SatelliteRecord record = new_satellite(demo.name, SatelliteType::PacSat, suite_text);
        record.bbs_callsign = demo.bbs_callsign;
        record.bdcst_callsign = demo.bdcst_callsign;
        record.priority = 50;
        record.uplink[0] = demo.uplink;
        record.downlink[0] = demo.downlink;
        record.uplink_mode = demo.uplink_mode;
        record.downlink_mode = demo.downlink_mode;
        std::string key;
        if (auto existing = find_satellite_key(store, demo.name, CaseRule::IgnoreCase)) {
            key = *existing;
        } else {
            auto created = create_satellite_key(store, demo.name);
            if (!created)
                return created.error();
            key = *created;
        }
        auto report = write_satellite(store, key, record);
        if (!report)
            return report.error();
        messages.insert(messages.end(), report->messages.begin(), report->messages.end());
    }

    // Element sets: merged, so a newer set the operator imported is kept.
    fs::path kep = elements::kep_database_path(suite);
    elements::KepDatabase db;
    if (fs::exists(kep)) {
        auto loaded = elements::KepDatabase::load(kep);
        if (!loaded)
            return make_error("cannot add the demo element sets to " + kep.string() + ": " + loaded.error().message);
        db = std::move(*loaded);
    }
    station::ParsedText parsed = station::parse_nasa(demo_elements_text);
    if (parsed.good() != int(std::size(demo_satellites)))
        return make_error(std::string("the bundled element file ") + demo_elements_file + " is damaged");
    station::ImportResult merged = station::merge_sets(db, parsed, station::MergeRules{});
    if (merged.full > 0)
        return make_error("the element database " + kep.string() + " is full; the demo satellites were not added");
    if (merged.changed())
        if (Status s = db.save(kep); !s)
            return s.error();

    elements::ObserverFile places(elements::observer_file_path(suite));
    for (const DemoPlace& p : demo_places)
        if (auto s = places.store_observer({p.name, p.latitude, p.longitude_east, p.altitude}); !s)
            return s.error();
    return messages;
}

} // namespace orva::tools
