#include "station/app/setup/first_start_dialog.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include <cmath>
#include <cstdio>

#include "station/app/setup/form_widget.h"
#include "common/settings/keys.h"
#include "station/setup/first_setup.h"
#include "station/setup/station_setup.h"

namespace orva::station::app {

namespace {

constexpr const char* kCaption = "Orva Setup";

QString degrees(double v)
{
    char b[64];
    std::snprintf(b, sizeof b, "%lf", std::fabs(v));
    return b;
}

// The messages of the setup start in lower case, as on a terminal; a box starts a sentence.
QString sentence(const std::string& message)
{
    QString s = QString::fromStdString(message);
    if (!s.isEmpty())
        s[0] = s[0].toUpper();
    return s.endsWith('.') ? s : s + '.';
}

} // namespace

FirstStartDialog::FirstStartDialog(platform::Store& store, QWidget* parent)
    : QDialog(parent), store_(store), callsign_(new QLineEdit(this)), locator_(new QLineEdit(this)),
      latitude_(new QLineEdit(this)), longitude_(new QLineEdit(this)), folder_(new QLineEdit(this)),
      north_south_(new QComboBox(this)), east_west_(new QComboBox(this)), locator_note_(new QLabel(this)),
      browse_(new QPushButton("Browse...", this))
{
    setWindowTitle(kCaption);
    setObjectName("FirstStartDialog");

    auto* intro = new QLabel("<b>Welcome to Orva.</b><br>This station has not been set up yet. Give your callsign, "
                             "where the station is, and the folder where Orva keeps its element sets, schedule "
                             "and satellite folders. The Setup menu changes all of it later.",
                             this);
    intro->setWordWrap(true);

    callsign_->setObjectName("Callsign");
    callsign_->setMaxLength(9);
    callsign_->setPlaceholderText("G4XYZ");
    locator_->setObjectName("Locator");
    locator_->setMaxLength(6);
    locator_->setPlaceholderText("IO91wm");
    locator_->setValidator(new QRegularExpressionValidator(QRegularExpression("[A-Za-z0-9]*"), locator_));
    locator_note_->setObjectName("LocatorNote");
    for (QLineEdit* e : {latitude_, longitude_}) {
        e->setMaxLength(10);
        e->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*\\.?[0-9]*"), e));
    }
    latitude_->setObjectName("Latitude");
    longitude_->setObjectName("Longitude");
    north_south_->setObjectName("North/South");
    north_south_->addItems({"North", "South"});
    east_west_->setObjectName("East/West");
    east_west_->addItems({"East", "West"});
    east_west_->setCurrentIndex(1);
    folder_->setObjectName("Orva folder");
    folder_->setText(QString::fromStdString(setup::default_orva_directory()));
    folder_->setMinimumWidth(300);
    // Station values set before the setup (`orva station set`) are offered again.
    const setup::StationForm stored = setup::read_station_form(store_);
    callsign_->setText(QString::fromStdString(stored.callsign));
    if (store_.read_value(settings::keys::station, "Latitude") && store_.read_value(settings::keys::station, "Longitude")) {
        latitude_->setText(degrees(stored.latitude));
        north_south_->setCurrentIndex(stored.south ? 1 : 0);
        longitude_->setText(degrees(stored.longitude));
        east_west_->setCurrentIndex(stored.east ? 0 : 1);
    }

    // Fields in one column, each one's hemisphere, note or button beside it.
    auto* form = new QGridLayout;
    form->setColumnStretch(1, 1);
    int row = 0;
    auto add = [this, form, &row](const char* label, QWidget* field, QWidget* side) {
        form->addWidget(new QLabel(label, this), row, 0);
        form->addWidget(field, row, 1, 1, side ? 1 : 2);
        if (side)
            form->addWidget(side, row, 2);
        ++row;
    };
    add("Callsign", callsign_, nullptr);
    add("Locator", locator_, locator_note_);
    add("Latitude", latitude_, north_south_);
    add("Longitude", longitude_, east_west_);
    add("Orva folder", folder_, browse_);
    auto* hint = new QLabel("A 4- or 6-character Maidenhead locator fills in the latitude and longitude with the "
                            "centre of its square.",
                            this);
    hint->setWordWrap(true);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addSpacing(6);
    layout->addLayout(form);
    layout->addWidget(hint);
    layout->addStretch();
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &FirstStartDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(locator_, &QLineEdit::textEdited, this, &FirstStartDialog::locator_edited);
    // A position typed by hand is no longer the locator's.
    for (QLineEdit* e : {latitude_, longitude_})
        connect(e, &QLineEdit::textEdited, this, [this] {
            locator_->clear();
            locator_note_->clear();
        });
    for (QComboBox* c : {north_south_, east_west_})
        connect(c, &QComboBox::activated, this, [this] {
            locator_->clear();
            locator_note_->clear();
        });
    connect(browse_, &QPushButton::clicked, this, [this] {
        QString dir = QFileDialog::getExistingDirectory(this, "Orva folder", folder_->text());
        if (!dir.isEmpty())
            folder_->setText(dir);
    });
}

void FirstStartDialog::locator_edited()
{
    const std::string text = locator_->text().toStdString();
    auto p = setup::locator_position(text);
    if (!p) {
        locator_note_->setText(text.size() == 4 || text.size() == 6 ? "not a locator" : "");
        return;
    }
    locator_note_->setText("");
    latitude_->setText(degrees(p->latitude));
    north_south_->setCurrentIndex(p->latitude < 0 ? 1 : 0);
    longitude_->setText(degrees(p->longitude));
    east_west_->setCurrentIndex(p->longitude > 0 ? 0 : 1);
}

void FirstStartDialog::refuse(QWidget* field, const std::string& message)
{
    show_message(this, kCaption, sentence(message));
    field->setFocus();
}

void FirstStartDialog::accept()
{
    setup::FirstSetup s;
    s.callsign = callsign_->text().toStdString();
    s.orva_directory = folder_->text().toStdString();
    if (auto call = setup::check_callsign(s.callsign); !call)
        return refuse(callsign_, call.error().message);
    if (!locator_->text().isEmpty()) {
        auto p = setup::locator_position(locator_->text().toStdString());
        if (!p)
            return refuse(locator_, p.error().message);
        s.position = *p;
    } else {
        // The hemisphere letter goes with the magnitude, as `orva setup --lat 52.2N` takes it.
        auto lat = setup::parse_coordinate(latitude_->text().toStdString() + (north_south_->currentIndex() ? "S" : "N"),
                                           setup::Axis::Latitude);
        if (latitude_->text().isEmpty() || !lat)
            return refuse(latitude_, latitude_->text().isEmpty() ? "give the latitude, or a locator" : lat.error().message);
        auto lon = setup::parse_coordinate(longitude_->text().toStdString() + (east_west_->currentIndex() ? "W" : "E"),
                                           setup::Axis::Longitude);
        if (longitude_->text().isEmpty() || !lon)
            return refuse(longitude_, longitude_->text().isEmpty() ? "give the longitude, or a locator" : lon.error().message);
        s.position = {*lat, *lon};
    }
    setup::FirstSetupResult r = setup::write_first_setup(store_, s);
    if (r.ok()) {
        orva_directory_ = r.orva_directory;
        QDialog::accept();
        return;
    }
    switch (r.problem->field) {
    case setup::SetupField::Callsign: return refuse(callsign_, r.problem->message);
    case setup::SetupField::Position: return refuse(latitude_, r.problem->message);
    case setup::SetupField::Folder: return refuse(folder_, r.problem->message);
    case setup::SetupField::Store:
        store_failure_ = r.problem->message;
        done(StoreFailed);
        return;
    }
}

} // namespace orva::station::app
