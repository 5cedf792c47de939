// One dialog for each option form ("General Setup", "Quillet Setup", "Brek Setup", "Dispo Setup",
// "Tessel Setup", "Setup Sounds"): the stored values with the page's defaults, every value
// written on OK, nothing on Cancel. A failed write is reported and the dialog stays open.
#pragma once

#include <QDialog>

#include <functional>

#include "platform/store/store.h"
#include "station/app/setup/form_widget.h"
#include "station/setup/option_setup.h"

namespace orva::station::app {

class OptionDialog : public QDialog {
    Q_OBJECT
public:
    // `saved` runs after OK wrote (General Setup: the main window redraws).
    OptionDialog(platform::Store& store, setup::OptionForm form, std::function<void()> saved = {},
                 QWidget* parent = nullptr);
    FormWidget* form() const { return widget_; }
    void accept() override;

private:
    platform::Store& store_;
    const setup::OptionForm form_;
    std::function<void()> on_saved_;
    setup::OptionValues values_;
    FormWidget* widget_;
};

// "Dispo Setup": its "Spacecraft" is a choice of "[All]" and the PacSat satellites.
OptionDialog* make_dispo_setup(platform::Store& store, QWidget* parent = nullptr);

} // namespace orva::station::app
