// "Satellite Setup Wizard": a new satellite entered page by page; Finish is offered on the last
// page its type uses. Nothing is stored unless Finish succeeds.
#pragma once

#include <QWizard>

#include "station/app/setup/satellite_pages.h"

namespace orva::station::app {

class SatelliteWizard : public QWizard {
    Q_OBJECT
public:
    SatelliteWizard(platform::Store& store, std::string orva_directory, SatelliteSaved saved = {},
                    QWidget* parent = nullptr);

    SatellitePages& pages() { return pages_; }
    FormWidget* form(const std::string& page) const { return pages_.page(page); }
    bool saved() const { return saved_; }

    void accept() override;

private:
    friend class SatelliteWizardPage;
    platform::Store& store_;
    SatellitePages pages_;
    SatelliteSaved on_saved_;
    bool saved_ = false;
};

class SatelliteWizardPage : public QWizardPage {
    Q_OBJECT
public:
    SatelliteWizardPage(SatelliteWizard& wizard, std::string page);
    bool validatePage() override;
    int nextId() const override;

private:
    SatelliteWizard& wizard_;
    std::string page_;
};

} // namespace orva::station::app
