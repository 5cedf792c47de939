#include "station/app/setup/satellite_pages.h"

namespace orva::station::app {

FormWidget* SatellitePages::make_page(const std::string& page, QWidget* parent)
{
    auto* w = new FormWidget(field_specs(setup::satellite_form(), page), parent);
    pages_[page] = w;
    load_form(*w, setup::satellite_form(), edit_.record());
    return w;
}

FormWidget* SatellitePages::page(const std::string& name) const
{
    auto it = pages_.find(name);
    return it == pages_.end() ? nullptr : it->second;
}

void SatellitePages::show(const std::string& name)
{
    if (FormWidget* w = page(name))
        load_form(*w, setup::satellite_form(), edit_.record());
}

bool SatellitePages::leave(const std::string& name, QWidget* parent)
{
    FormWidget* w = page(name);
    if (!w)
        return true;
    if (auto refused = store_form(*w, setup::satellite_form(), edit_.record())) {
        show_message(parent, setup::kSetupCaption, refused->second);
        w->focus(refused->first);
        return false;
    }
    if (auto problem = edit_.leave_page(name)) {
        show_message(parent, QString::fromStdString(problem->caption), QString::fromStdString(problem->message));
        w->focus(QString::fromStdString(problem->field));
        return false;
    }
    if (name == setup::kPageGeneral && !edit_.existing()) {
        // The new satellite's directories and program now follow its name.
        show(setup::kPageDirectories);
        if (FormWidget* scheduling = page(setup::kPageScheduling))
            scheduling->set_text("Program", QString::fromStdString(edit_.record().program));
    }
    return true;
}

bool SatellitePages::save(platform::Store& store, QWidget* parent, const SatelliteSaved& saved)
{
    edit_.set_changed();
    auto report = edit_.save(store);
    if (!report) {
        QString text = QString::fromStdString(report.error().message);
        show_message(parent, text == setup::kNameExists ? "Satellite Setup" : "Helmo", text);
        return false;
    }
    for (const auto& m : report->messages)
        show_message(parent, "Helmo", QString::fromStdString(m));
    if (saved)
        saved(edit_.record());
    return true;
}

} // namespace orva::station::app
