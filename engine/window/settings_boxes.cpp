#include "engine/window/settings_boxes.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QIntValidator>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace orva::engine {

namespace {

QLineEdit* number_field(QWidget* parent, int digits, std::uint32_t value, bool blank = false)
{
    auto* e = new QLineEdit(blank ? QString() : QString::number(value), parent);
    e->setMaxLength(digits);
    e->setValidator(new QIntValidator(0, 999999, e));
    return e;
}

std::uint32_t number_of(const QLineEdit* e) { return e->text().toUInt(); }

QDialogButtonBox* ok_cancel(QDialog* box)
{
    auto* b = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, box);
    QObject::connect(b, &QDialogButtonBox::accepted, box, &QDialog::accept);
    QObject::connect(b, &QDialogButtonBox::rejected, box, &QDialog::reject);
    return b;
}

QCheckBox* check(const QString& text, bool on, QWidget* parent)
{
    auto* c = new QCheckBox(text, parent);
    c->setChecked(on);
    return c;
}

} // namespace

GeneralOptionsBox::GeneralOptionsBox(const GeneralOptions& o, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Brek General Setup Options"));
    setObjectName(QStringLiteral("GeneralOptions"));
    auto* form = new QFormLayout;
    // The one-day default reads as no timeout at all.
    inactivity = number_field(this, 3, o.inactivity_timeout_s / 60, o.inactivity_timeout_s == 86400);
    up_to_date = number_field(this, 3, o.up_to_date_timeout_s == 86400 ? 0 : o.up_to_date_timeout_s / 60);
    threshold = number_field(this, 6, o.proc_threshold);
    form->addRow(tr("Inactivity timeout (min)"), inactivity);
    form->addRow(tr("Up to date timeout (min)"), up_to_date);
    form->addRow(tr("Processing thresh (bytes)"), threshold);
    download_yours = check(tr("Download your uploads"), o.download_your_uploads, this);
    print_headers = check(tr("Print Headers"), o.print_headers, this);
    run_dispo = check(tr("Run Dispo at end of pass"), o.run_dispo, this);
    maximise_upload = check(tr("Maximise Upload"), o.maximise_upload, this);
    block_bbs = check(tr("Block all BBS files"), o.block_bbs, this);
    grab_all = check(tr("Grab All"), o.grab_all, this);
    auto* v = new QVBoxLayout(this);
    v->addLayout(form);
    for (QCheckBox* c : {download_yours, print_headers, run_dispo, maximise_upload, block_bbs, grab_all})
        v->addWidget(c);
    v->addWidget(ok_cancel(this));
}

GeneralOptions GeneralOptionsBox::value() const
{
    return general_options_from_box(number_of(inactivity), number_of(up_to_date), number_of(threshold),
                                    download_yours->isChecked(), print_headers->isChecked(), run_dispo->isChecked(),
                                    maximise_upload->isChecked(), block_bbs->isChecked(), grab_all->isChecked());
}

TncSettingsDialog::TncSettingsDialog(const TncSettingsBox& b, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(tr("TNC Settings"));
    setObjectName(QStringLiteral("TncSettings"));
    auto* form = new QFormLayout;
    tx_delay = number_field(this, 5, b.tx_delay_ms);
    tx_tail = number_field(this, 5, b.tx_tail_ms);
    retries = number_field(this, 3, b.retries);
    max_frame = number_field(this, 1, b.max_frame);
    retry_time = number_field(this, 3, b.retry_time_s);
    packet_length = number_field(this, 3, b.packet_length);
    form->addRow(tr("TX Delay (ms)"), tx_delay);
    form->addRow(tr("TX Tail (ms)"), tx_tail);
    form->addRow(tr("Retries"), retries);
    form->addRow(tr("Maxframe"), max_frame);
    form->addRow(tr("Retry time (s)"), retry_time);
    form->addRow(tr("Packet Length"), packet_length);
    auto* v = new QVBoxLayout(this);
    v->addLayout(form);
    v->addWidget(ok_cancel(this));
}

TncSettingsBox TncSettingsDialog::value() const
{
    TncSettingsBox b;
    b.tx_delay_ms = number_of(tx_delay);
    b.tx_tail_ms = number_of(tx_tail);
    b.retries = number_of(retries);
    b.max_frame = number_of(max_frame);
    b.retry_time_s = number_of(retry_time);
    b.packet_length = number_of(packet_length);
    return b;
}

BroadcastOptionsBox::BroadcastOptionsBox(const BroadcastOptions& o, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(tr("Broadcast Options"));
    setObjectName(QStringLiteral("BroadcastOptions"));
    auto* v = new QVBoxLayout(this);
    auto_fill = check(tr("Send auto fill requests"), o.auto_fill, this);
    v->addWidget(auto_fill);
    auto group = [&](const QString& title, QButtonGroup*& g, const QStringList& labels, int chosen) {
        auto* box = new QGroupBox(title, this);
        auto* l = new QVBoxLayout(box);
        g = new QButtonGroup(box);
        for (int i = 0; i < labels.size(); ++i) {
            auto* r = new QRadioButton(labels[i], box);
            r->setChecked(i + 1 == chosen);
            g->addButton(r, i + 1);
            l->addWidget(r);
        }
        v->addWidget(box);
    };
    group(tr("Broadcast requests"), custom,
          {QStringLiteral("Don't interrupt Dir"), QStringLiteral("Interrupt Dir for MY files"),
           QStringLiteral("Interrupt Dir for ANY file"), QStringLiteral("Interrupt when not in queue")},
          o.bdcst_custom);
    group(tr("Last in the queue"), tail,
          {QStringLiteral("Send new request"), QStringLiteral("Randomly send request"), QStringLiteral("Nothing")},
          o.tail_action);
    auto* form = new QFormLayout;
    dir_priority = new QSpinBox(this);
    dir_priority->setRange(5, 10);
    dir_priority->setValue(o.dir_priority);
    form->addRow(tr("Directory priority"), dir_priority);
    v->addLayout(form);
    v->addWidget(ok_cancel(this));
}

BroadcastOptions BroadcastOptionsBox::value() const
{
    BroadcastOptions o;
    o.auto_fill = auto_fill->isChecked();
    o.bdcst_custom = custom->checkedId() > 0 ? custom->checkedId() : 4;
    o.tail_action = tail->checkedId() > 0 ? tail->checkedId() : 2;
    o.dir_priority = dir_priority->value();
    return o;
}

SelectSatelliteBox::SelectSatelliteBox(const std::vector<std::string>& names, const std::string& current,
                                       QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(tr("Select Satellite"));
    setObjectName(QStringLiteral("SelectSatellite"));
    auto* v = new QVBoxLayout(this);
    list = new QListWidget(this);
    for (const auto& n : names) {
        list->addItem(QString::fromStdString(n));
        if (QString::fromStdString(n).compare(QString::fromStdString(current), Qt::CaseInsensitive) == 0)
            list->setCurrentRow(list->count() - 1);
    }
    connect(list, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    v->addWidget(list);
    v->addWidget(ok_cancel(this));
}

std::string SelectSatelliteBox::chosen() const
{
    const auto* item = list->currentItem();
    return item ? item->text().toStdString() : std::string();
}

} // namespace orva::engine
