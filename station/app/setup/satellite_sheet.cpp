#include "station/app/setup/satellite_sheet.h"

#include <QDialogButtonBox>
#include <QScrollArea>
#include <QVBoxLayout>

namespace orva::station::app {

SatelliteSheet::SatelliteSheet(platform::Store& store, setup::SatelliteEdit edit, SatelliteSaved saved, QWidget* parent)
    : QDialog(parent), store_(store), pages_(std::move(edit)), on_saved_(std::move(saved)), tabs_(new QTabWidget(this))
{
    setWindowTitle(QString::fromStdString(pages_.edit().record().name));
    setObjectName("SatelliteSheet");
    for (const auto& p : setup::satellite_pages()) {
        auto* scroll = new QScrollArea(tabs_);
        scroll->setWidgetResizable(true);
        scroll->setWidget(pages_.make_page(p, scroll));
        tabs_->addTab(scroll, QString::fromStdString(p));
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &SatelliteSheet::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &SatelliteSheet::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_);
    layout->addWidget(buttons);
}

void SatelliteSheet::accept()
{
    const auto& pages = setup::satellite_pages();
    for (std::size_t i = 0; i < pages.size(); ++i) {
        if (!pages_.leave(pages[i], this)) {
            tabs_->setCurrentIndex(static_cast<int>(i));
            return;
        }
    }
    if (!pages_.save(store_, this, on_saved_))
        return;
    QDialog::accept();
}

} // namespace orva::station::app
