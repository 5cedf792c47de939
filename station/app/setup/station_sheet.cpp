#include "station/app/setup/station_sheet.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include <cstdio>

#include "common/settings/keys.h"
#include "station/app/hamlib_setup_dialog.h"
#include "common/settings/subkey_records.h"

namespace orva::station::app {

namespace {

using setup::Input;

std::vector<FieldSpec> transverter_fields()
{
    return {{"Name", Input::Text, 15, {}},      {"Program", Input::Text, 259, {}},  {"Start", Input::Decimal, 14, {}},
            {"Finish", Input::Decimal, 14, {}}, {"TX LO", Input::Decimal, 14, {}},  {"TX", Input::Flag, 0, {}},
            {"RX LO", Input::Decimal, 14, {}},  {"RX", Input::Flag, 0, {}}};
}

QString mhz(double v)
{
    char b[64];
    std::snprintf(b, sizeof b, "%0.6f", v);
    return b;
}

} // namespace

StationSheet::StationSheet(platform::Store& store, std::function<void()> saved, QWidget* parent)
    : QDialog(parent), store_(store), on_saved_(std::move(saved)), values_(setup::read_station_form(store)),
      tabs_(new QTabWidget(this))
{
    setWindowTitle("Station");
    setObjectName("StationSheet");
    for (const auto& p : setup::station_pages()) {
        if (p == setup::kPageTransverters) {
            auto* page = new QWidget(tabs_);
            transverters_ = new QListWidget(page);
            transverter_ = new FormWidget(transverter_fields(), page);
            auto* add = new QPushButton("New", page);
            auto* save = new QPushButton("Save", page);
            auto* del = new QPushButton("Delete", page);
            auto* buttons = new QHBoxLayout;
            for (auto* b : {add, save, del})
                buttons->addWidget(b);
            auto* right = new QVBoxLayout;
            right->addWidget(transverter_);
            right->addLayout(buttons);
            auto* layout = new QHBoxLayout(page);
            layout->addWidget(transverters_);
            layout->addLayout(right);
            connect(add, &QPushButton::clicked, this, [this] {
                for (const char* f : {"Name", "Program"})
                    transverter_->set_text(f, "");
                for (const char* f : {"Start", "Finish", "TX LO", "RX LO"})
                    transverter_->set_text(f, "0.0");
                transverter_->set_text("TX", "0");
                transverter_->set_text("RX", "0");
            });
            connect(save, &QPushButton::clicked, this, &StationSheet::save_transverter);
            connect(del, &QPushButton::clicked, this, &StationSheet::delete_transverter);
            connect(transverters_, &QListWidget::currentRowChanged, this, [this](int row) {
                auto all = settings::read_transverters(store_);
                if (row < 0 || row >= static_cast<int>(all.size()))
                    return;
                const auto& t = all[static_cast<std::size_t>(row)].second;
                transverter_->set_text("Name", QString::fromStdString(t.name));
                transverter_->set_text("Program", QString::fromStdString(t.program));
                transverter_->set_text("Start", mhz(t.start_freq));
                transverter_->set_text("Finish", mhz(t.finish_freq));
                transverter_->set_text("TX LO", mhz(t.tx_if));
                transverter_->set_text("RX LO", mhz(t.rx_if));
                transverter_->set_text("TX", t.tx ? "1" : "0");
                transverter_->set_text("RX", t.rx ? "1" : "0");
            });
            refill_transverters();
            tabs_->addTab(page, QString::fromStdString(p));
            continue;
        }
        auto* form = new FormWidget(field_specs(setup::station_form(), p), tabs_);
        load_form(*form, setup::station_form(), values_);
        pages_[p] = form;
        if (p == setup::kPageRotator) {
            // Hamlib's model, device and speed for a "Level1" rotator and the radio.
            auto* page = new QWidget(tabs_);
            auto* column = new QVBoxLayout(page);
            column->addWidget(form);
            auto* hamlib = new QPushButton("Setup", page);
            hamlib->setObjectName("HamlibSetup");
            hamlib->setToolTip("Choose the Hamlib rotator and radio models and their devices");
            connect(hamlib, &QPushButton::clicked, this, [this] {
                HamlibSetupDialog box(store_, this);
                box.exec();
            });
            column->addWidget(hamlib, 0, Qt::AlignLeft);
            tabs_->addTab(page, QString::fromStdString(p));
            continue;
        }
        tabs_->addTab(form, QString::fromStdString(p));
    }
    // The rotator type decides which controls apply.
    FormWidget* rotator = pages_[setup::kPageRotator];
    connect(rotator, &FormWidget::edited, this, [this, rotator](const QString& label) {
        if (label != "Rotator Type" || !rotator->chosen(label))
            return;
        (void)setup::apply_text(*setup::find_form_field(setup::station_form(), "Rotator Type"), values_,
                                rotator->text(label).toStdString());
        for (const auto& f : setup::station_form())
            if (f.enabled && std::string(f.page) == setup::kPageRotator)
                rotator->set_field_enabled(f.label, f.enabled(values_));
    });
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &StationSheet::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &StationSheet::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_);
    layout->addWidget(buttons);
}

FormWidget* StationSheet::form(const std::string& page) const
{
    auto it = pages_.find(page);
    return it == pages_.end() ? nullptr : it->second;
}

void StationSheet::accept()
{
    setup::StationForm values = values_;
    int index = 0;
    for (const auto& p : setup::station_pages()) {
        if (FormWidget* w = form(p)) {
            if (auto refused = store_form(*w, setup::station_form(), values)) {
                tabs_->setCurrentIndex(index);
                show_message(this, "Station", refused->second);
                w->focus(refused->first);
                return;
            }
        }
        ++index;
    }
    auto saved = setup::write_station_form(store_, values);
    if (!saved) {
        show_message(this, "Helmo", "The station settings could not be written: " + QString::fromStdString(saved.error().message));
        return; // everything typed stays
    }
    values_ = values;
    for (const auto& m : saved->messages)
        show_message(this, "Helmo", QString::fromStdString(m));
    if (on_saved_)
        on_saved_();
    QDialog::accept();
}

void StationSheet::refill_transverters()
{
    transverters_->clear();
    for (const auto& [path, t] : settings::read_transverters(store_))
        transverters_->addItem(QString::fromStdString(t.name));
}

void StationSheet::save_transverter()
{
    settings::TransverterRecord t;
    t.name = transverter_->text("Name").toStdString();
    if (t.name.empty() || t.name.find('\\') != std::string::npos) {
        show_message(this, "Station", "Give the transverter a name.");
        transverter_->focus("Name");
        return;
    }
    t.program = transverter_->text("Program").toStdString();
    t.start_freq = setup::decimal_value(transverter_->text("Start").toStdString());
    t.finish_freq = setup::decimal_value(transverter_->text("Finish").toStdString());
    t.tx_if = setup::decimal_value(transverter_->text("TX LO").toStdString());
    t.rx_if = setup::decimal_value(transverter_->text("RX LO").toStdString());
    t.tx = transverter_->text("TX") == "1";
    t.rx = transverter_->text("RX") == "1";
    if (Status s = settings::write_transverter(store_, t); !s) {
        show_message(this, "Helmo", QString::fromStdString(s.error().message));
        return;
    }
    refill_transverters();
}

void StationSheet::delete_transverter()
{
    int row = transverters_->currentRow();
    auto all = settings::read_transverters(store_);
    if (row < 0 || row >= static_cast<int>(all.size()))
        return;
    if (Status s = store_.delete_key(all[static_cast<std::size_t>(row)].first); !s)
        show_message(this, "Helmo", QString::fromStdString(s.error().message));
    refill_transverters();
}

} // namespace orva::station::app
