// Editing a satellite record: the seven pages' fields, what leaving a page checks and sets,
// where the wizard offers Finish, and saving. The wizard, the property sheet and `orva sat`
// all go through SatelliteEdit.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "common/settings/satellite_record.h"
#include "platform/store/store.h"
#include "station/setup/form.h"

namespace orva::station::setup {

using settings::SatelliteRecord;

inline constexpr const char* kPageGeneral = "General";
inline constexpr const char* kPageScheduling = "Scheduling";
inline constexpr const char* kPageFrequencies = "Frequencies";
inline constexpr const char* kPageTnc = "TNC Settings";
inline constexpr const char* kPageDirectories = "Directories";
inline constexpr const char* kPageBrek = "Brek Settings";
inline constexpr const char* kPageSatGate = "SatGate";

// The seven pages in order.
const std::vector<std::string>& satellite_pages();
const std::vector<FormField<SatelliteRecord>>& satellite_form();

// A refusal to leave a page: the message, its caption and the field that takes the focus.
struct PageProblem {
    std::string message;
    std::string caption;
    std::string field; // a label of satellite_form()
};

inline constexpr std::uint32_t kNoType = 0xFFFFFFFF;
inline constexpr const char* kSetupCaption = "Satellite Setup";
inline constexpr const char* kNoSuiteDirectory =
    "The Orva Program Directory is not set.  Set it in General Setup before adding a satellite.";
inline constexpr const char* kNameExists =
    "There is already a satellite with this name.  Please change the name before continuing.";

class SatelliteEdit {
public:
    // A new satellite with the setup's defaults ("existing" 0). `orva_directory` is the suite's.
    static SatelliteEdit create(std::string orva_directory);
    // An existing satellite as stored ("existing" 1), found by name without regard to case.
    static Result<SatelliteEdit> open(const platform::Store& store, std::string_view name);

    SatelliteRecord& record() { return record_; }
    const SatelliteRecord& record() const { return record_; }
    bool existing() const { return existing_; }
    bool changed() const { return changed_; }
    const std::string& key_path() const { return key_path_; }

    // Leaving a page stores its fields (already in the record) and applies that page's rules.
    std::optional<PageProblem> leave_page(const std::string& page);
    // Leaves every page in order, stopping at the first refusal (what Finish or OK amounts to).
    std::optional<PageProblem> leave_all();
    // The wizard's last page for the record's type and SatGate switch.
    std::string finish_page() const;
    void set_changed() { changed_ = true; }

    // Applies "FIELD=VALUE" assignments page by page, leaving each page in turn as the wizard or
    // the sheet would (so a new satellite's directories come from its name unless given).
    std::optional<PageProblem> apply_pages(const std::vector<std::string>& assignments, Status& error);

    // Writes the record: a new one into a newly created key after the name check (kNameExists
    // when another satellite has this name). The report carries the directory messages.
    Result<settings::WriteReport> save(platform::Store& store);

private:
    SatelliteRecord record_;
    std::string orva_directory_;
    std::string key_path_;
    bool existing_ = false;
    bool changed_ = false;
};

// The directories (and for a PacSat the program) that a new satellite takes from its name.
void set_new_satellite_paths(SatelliteRecord& record, const std::string& orva_directory);

} // namespace orva::station::setup
