// The texts of the Edit Satellite Data dialog for one slot, and the record those texts store.
// The dialog itself belongs to the station program; the conversions live here so every rule
// (two-digit years, the attitude pair, 16-bit catalogue numbers) is in one tested place.
#pragma once

#include <string>

#include "common/elements/kep_record.h"

namespace orva::elements {

struct KepEditFields {
    std::string name, catalogue, element_set, epoch, mean_anomaly, mean_motion, inclination,
        eccentricity, arg_perigee, raan, decay, orbit_number, blon, blat, beacon, schedule;
};

KepEditFields edit_fields_from_record(const KepRecord& r);

// Stores the typed texts into `r` as the dialog's OK does: unparsable numbers become 0; the
// epoch's year is the number at the start and its day is read from the fourth character on;
// Blon and Blat are taken only as a pair, else both become 9999.
void store_edit_fields(const KepEditFields& f, KepRecord& r);

} // namespace orva::elements
