// The seven satellite pages shared by the wizard and the property sheet: one form per page
// over the SatelliteEdit, leaving a page as the editing rules say.
#pragma once

#include <QWidget>

#include <functional>
#include <map>
#include <string>

#include "platform/store/store.h"
#include "station/app/setup/form_widget.h"
#include "station/setup/satellite_setup.h"

namespace orva::station::app {

// What the station does after a satellite was written (its schedule entry is refreshed).
using SatelliteSaved = std::function<void(const settings::SatelliteRecord&)>;

class SatellitePages {
public:
    explicit SatellitePages(setup::SatelliteEdit edit) : edit_(std::move(edit)) {}

    // The form of one page, parented to `parent`.
    FormWidget* make_page(const std::string& page, QWidget* parent);
    FormWidget* page(const std::string& name) const;
    // Shows the record's values on the page (after another page set them).
    void show(const std::string& page);
    // Stores the page's fields and applies its leaving rules; a refusal is shown with the focus
    // on its field, and false is returned.
    bool leave(const std::string& page, QWidget* parent);
    // Writes the record; failures are shown and the values stay for another try.
    bool save(platform::Store& store, QWidget* parent, const SatelliteSaved& saved);

    setup::SatelliteEdit& edit() { return edit_; }

private:
    setup::SatelliteEdit edit_;
    std::map<std::string, FormWidget*> pages_;
};

} // namespace orva::station::app
