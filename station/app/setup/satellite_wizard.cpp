#include "station/app/setup/satellite_wizard.h"

#include <QLabel>
#include <QVBoxLayout>

namespace orva::station::app {

namespace {
const char* kSatGateNotice =
    "NOTE:  You cannot set yourself up as a SatGate without first contacting the SatGate Coordinator.  The world "
    "wide use of SatGates is controlled by the SatGate Coordinator.";
}

SatelliteWizard::SatelliteWizard(platform::Store& store, std::string orva_directory, SatelliteSaved saved, QWidget* parent)
    : QWizard(parent), store_(store), pages_(setup::SatelliteEdit::create(std::move(orva_directory))),
      on_saved_(std::move(saved))
{
    setWindowTitle("Satellite Setup Wizard");
    setObjectName("SatelliteSetupWizard");
    setOption(QWizard::NoBackButtonOnStartPage);
    for (const auto& p : setup::satellite_pages())
        addPage(new SatelliteWizardPage(*this, p));
}

void SatelliteWizard::accept()
{
    // Finish leaves the last page first, then writes.
    if (!validateCurrentPage())
        return;
    if (!pages_.save(store_, this, on_saved_))
        return; // e.g. the name is taken: the wizard stays with everything entered
    saved_ = true;
    QWizard::accept();
}

SatelliteWizardPage::SatelliteWizardPage(SatelliteWizard& wizard, std::string page) : wizard_(wizard), page_(std::move(page))
{
    setTitle(QString::fromStdString(page_));
    auto* layout = new QVBoxLayout(this);
    FormWidget* form = wizard_.pages_.make_page(page_, this);
    layout->addWidget(form);
    if (page_ == setup::kPageSatGate) {
        auto* note = new QLabel(kSatGateNotice, this);
        note->setWordWrap(true);
        layout->addWidget(note);
    }
    // The type and the SatGate box decide where Finish is offered.
    connect(form, &FormWidget::edited, this, [this, form](const QString& label) {
        if (label != "Satellite Type" && label != "Enable SatGate operation")
            return;
        auto& r = wizard_.pages_.edit().record();
        if (form->chosen("Satellite Type"))
            (void)setup::apply_text(*setup::find_form_field(setup::satellite_form(), "Satellite Type"), r,
                                    form->text("Satellite Type").toStdString());
        (void)setup::apply_text(*setup::find_form_field(setup::satellite_form(), "Enable SatGate operation"), r,
                                form->text("Enable SatGate operation").toStdString());
        form->set_field_enabled("Enable SatGate operation", r.satellite_type == 0);
        emit completeChanged();
    });
}


bool SatelliteWizardPage::validatePage() { return wizard_.pages_.leave(page_, this); }

int SatelliteWizardPage::nextId() const
{
    if (page_ == wizard_.pages_.edit().finish_page())
        return -1;
    return QWizardPage::nextId();
}

} // namespace orva::station::app
