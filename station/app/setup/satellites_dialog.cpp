#include "station/app/setup/satellites_dialog.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "common/settings/suite_settings.h"
#include "station/app/setup/satellite_sheet.h"
#include "station/app/setup/satellite_wizard.h"

namespace orva::station::app {

SatellitesDialog::SatellitesDialog(platform::Store& store, SatelliteSaved saved, QWidget* parent)
    : QDialog(parent), store_(store), on_saved_(std::move(saved)), list_(new QListWidget(this))
{
    setWindowTitle("Satellites");
    auto* add = new QPushButton("New", this);
    edit_ = new QPushButton("Edit", this);
    delete_ = new QPushButton("Delete", this);
    auto* close = new QPushButton("Close", this);
    auto* buttons = new QVBoxLayout;
    for (auto* b : {add, edit_, delete_, close})
        buttons->addWidget(b);
    buttons->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(list_);
    layout->addLayout(buttons);
    connect(add, &QPushButton::clicked, this, &SatellitesDialog::new_satellite);
    connect(edit_, &QPushButton::clicked, this, &SatellitesDialog::edit_selected);
    connect(delete_, &QPushButton::clicked, this, &SatellitesDialog::delete_selected);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    connect(list_, &QListWidget::itemDoubleClicked, this, &SatellitesDialog::edit_selected);
    connect(list_, &QListWidget::currentRowChanged, this, [this](int row) {
        edit_->setEnabled(row >= 0);
        delete_->setEnabled(row >= 0);
    });
    refill();
}

void SatellitesDialog::refill()
{
    list_->clear();
    for (const auto& n : settings::list_satellites(store_))
        list_->addItem(QString::fromStdString(n));
    list_->setCurrentRow(-1);
    edit_->setEnabled(false);
    delete_->setEnabled(false);
}

void SatellitesDialog::new_satellite()
{
    SatelliteWizard wizard(store_, settings::read_general(store_, settings::Program::Helmo).orva_directory, on_saved_, this);
    wizard.exec();
    refill();
}

void SatellitesDialog::edit_selected()
{
    auto* item = list_->currentItem();
    if (!item)
        return;
    auto edit = setup::SatelliteEdit::open(store_, item->text().toStdString());
    if (!edit) {
        show_message(this, "Helmo", QString::fromStdString(edit.error().message));
        return;
    }
    SatelliteSheet sheet(store_, std::move(*edit), on_saved_, this);
    sheet.exec();
    refill();
}

void SatellitesDialog::delete_selected()
{
    auto* item = list_->currentItem();
    if (!item)
        return;
    std::string name = item->text().toStdString();
    if (Status s = settings::delete_satellite(store_, name); !s)
        show_message(this, "Helmo", QString::fromStdString(s.error().message));
    else if (on_deleted_)
        on_deleted_(name);
    refill();
}

} // namespace orva::station::app
