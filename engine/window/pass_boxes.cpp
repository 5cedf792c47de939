#include "engine/window/pass_boxes.h"

#include "engine/directory/status_codes.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QSpinBox>
#include <QVBoxLayout>

namespace orva::engine {

namespace {

QDialogButtonBox* ok_cancel(QDialog* box, bool cancel = true)
{
    auto* b = new QDialogButtonBox(cancel ? QDialogButtonBox::Ok | QDialogButtonBox::Cancel : QDialogButtonBox::Ok, box);
    QObject::connect(b, &QDialogButtonBox::accepted, box, &QDialog::accept);
    QObject::connect(b, &QDialogButtonBox::rejected, box, &QDialog::reject);
    return b;
}

QString hex(std::uint32_t n) { return QString::number(n, 16).toUpper(); }

QString mhz(double f) { return f > 0 ? QString::number(f, 'f', 4) : QStringLiteral("-"); }

} // namespace

UploadStatusBox::UploadStatusBox(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(tr("Upload Status"));
    setObjectName(QStringLiteral("UploadStatus"));
    auto* form = new QFormLayout(this);
    link = new QLabel(this);
    bbs = new QLabel(this);
    queue = new QLabel(this);
    held = new QLabel(this);
    held->setWordWrap(true);
    file = new QLabel(this);
    percent = new QLabel(this);
    bytes = new QLabel(this);
    cps = new QLabel(this);
    remaining = new QLabel(this);
    for (QLabel* l : {link, bbs, queue, held, file, percent, bytes, cps, remaining})
        l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    form->addRow(tr("Link"), link);
    form->addRow(tr("BBS"), bbs);
    form->addRow(tr("Queue"), queue);
    form->addRow(tr("Held"), held);
    form->addRow(tr("File"), file);
    form->addRow(tr("Percent"), percent);
    form->addRow(tr("Sent"), bytes);
    form->addRow(tr("CPS"), cps);
    form->addRow(tr("Time left"), remaining);
    auto* buttons = ok_cancel(this, false);
    disc = buttons->addButton(tr("Disc"), QDialogButtonBox::ActionRole);
    disc->setObjectName(QStringLiteral("Disc"));
    connect(disc, &QPushButton::clicked, this, &UploadStatusBox::disconnect_requested);
    form->addRow(buttons);
}

void UploadStatusBox::show_boxes(const StatusBoxes& b)
{
    const bool up = !b.upload_letter.empty();
    if (up)
        link->setText(tr("Connected to the BBS"));
    else if (!b.uploads_off.empty())
        link->setText(QString::fromStdString(b.uploads_off));
    else
        link->setText(tr("Not connected"));
    bbs->setText(QString::fromStdString(b.bbs_status));
    queue->setText(QString::fromStdString(b.queue_line));
    held->setText(QString::fromStdString(b.upload_held));
    disc->setEnabled(up);
    if (!b.upload) {
        for (QLabel* l : {file, percent, bytes, cps, remaining})
            l->clear();
        return;
    }
    const UploadProgress& p = *b.upload;
    file->setText(QString::fromStdString(p.file));
    percent->setText(QStringLiteral("%1%").arg(p.percent));
    bytes->setText(tr("%1 of %2 bytes").arg(p.uploaded).arg(p.uploaded + p.to_upload));
    cps->setText(QString::number(p.cps));
    if (p.seconds_left)
        remaining->setText(QStringLiteral("%1:%2").arg(*p.seconds_left / 60).arg(*p.seconds_left % 60, 2, 10, QLatin1Char('0')));
    else
        remaining->setText(QStringLiteral("-"));
}

FillFileBox::FillFileBox(const std::vector<std::uint32_t>& candidates, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(tr("Fill File"));
    setObjectName(QStringLiteral("FillFile"));
    auto* v = new QVBoxLayout(this);
    fill_file = new QRadioButton(tr("Fill File"), this);
    fill_directory = new QRadioButton(tr("Fill Directory"), this);
    fill_file->setChecked(true);
    file = new QComboBox(this);
    file->setEditable(true);
    file->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9A-Fa-f]{0,8}")), file));
    for (std::uint32_t n : candidates)
        file->addItem(hex(n));
    override_box = new QCheckBox(tr("Auto Override"), this);
    auto* row = new QHBoxLayout;
    row->addWidget(fill_file);
    row->addWidget(file, 1);
    v->addLayout(row);
    v->addWidget(fill_directory);
    v->addWidget(override_box);
    v->addWidget(ok_cancel(this));
}

bool FillFileBox::directory() const { return fill_directory->isChecked(); }
bool FillFileBox::auto_override() const { return override_box->isChecked(); }

std::optional<std::uint32_t> FillFileBox::file_number() const
{
    bool ok = false;
    const QString t = file->currentText().trimmed();
    const std::uint32_t n = t.toUInt(&ok, 16);
    if (!ok || t.isEmpty() || t.size() > 8 || n == 0)
        return std::nullopt;
    return n;
}

InformationBox::InformationBox(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(tr("Information"));
    setObjectName(QStringLiteral("Information"));
    auto* v = new QVBoxLayout(this);
    figures = new QLabel(this);
    figures->setTextFormat(Qt::PlainText);
    v->addWidget(figures);
    v->addWidget(ok_cancel(this, false));
}

void InformationBox::show_figures(const InformationFigures& f)
{
    QString t;
    t += tr("CRC errors: %1\n").arg(f.crc_errors);
    t += tr("Overrun errors: %1\n").arg(f.overruns);
    t += tr("Total bytes received: %1\n").arg(f.total_bytes);
    t += tr("Bytes in files: %1, used: %2\n").arg(f.file_bytes).arg(f.file_bytes_used);
    t += tr("Bytes in directory: %1, used: %2\n").arg(f.directory_bytes).arg(f.directory_bytes_used);
    t += f.efficiency ? tr("Efficiency: %1%").arg(*f.efficiency) : tr("Efficiency: -");
    if (f.bad_smack)
        t += tr("\nBad SMACK Frames: %1").arg(*f.bad_smack);
    figures->setText(t);
}

ChangeFrequenciesBox::ChangeFrequenciesBox(const FrequencyChoice& c, QWidget* parent) : QDialog(parent), base_(c)
{
    setWindowTitle(tr("Change Frequencies"));
    setObjectName(QStringLiteral("ChangeFrequencies"));
    auto* v = new QVBoxLayout(this);
    auto* up = new QGroupBox(tr("Uplink"), this);
    auto* upl = new QVBoxLayout(up);
    uplink = new QButtonGroup(up);
    for (int i = 0; i < 4; ++i) {
        auto* r = new QRadioButton(tr("Uplink %1: %2").arg(i + 1).arg(mhz(c.uplinks[i])), up);
        r->setChecked(c.uplink == i + 1);
        uplink->addButton(r, i + 1);
        upl->addWidget(r);
    }
    auto* down = new QGroupBox(tr("Downlink"), this);
    auto* dl = new QVBoxLayout(down);
    downlink = new QButtonGroup(down);
    for (int i = 0; i < 2; ++i) {
        auto* r = new QRadioButton(tr("Downlink %1: %2").arg(i + 1).arg(mhz(c.downlinks[i])), down);
        r->setChecked(c.downlink == i + 1);
        downlink->addButton(r, i + 1);
        dl->addWidget(r);
    }
    offset = new QSpinBox(this);
    offset->setRange(-9999, 9999);
    offset->setSingleStep(10);
    offset->setValue(c.offset_hz);
    offset->setSuffix(QStringLiteral(" Hz"));
    auto* form = new QFormLayout;
    form->addRow(tr("Downlink offset"), offset);
    v->addWidget(up);
    v->addWidget(down);
    v->addLayout(form);
    v->addWidget(ok_cancel(this));
}

FrequencyChoice ChangeFrequenciesBox::value() const
{
    FrequencyChoice c = base_;
    c.uplink = uplink->checkedId() > 0 ? uplink->checkedId() : base_.uplink;
    c.downlink = downlink->checkedId() > 0 ? downlink->checkedId() : base_.downlink;
    c.offset_hz = offset->value();
    return c;
}

const std::vector<std::pair<QString, int>>& file_status_choices()
{
    static const std::vector<std::pair<QString, int>> c = {
        {QStringLiteral("Priority"), kCodePriority}, {QStringLiteral("Auto"), kCodeAuto},
        {QStringLiteral("Auto1"), kCodeAuto1},       {QStringLiteral("Auto2"), kCodeAuto2},
        {QStringLiteral("Auto3"), kCodeAuto3},       {QStringLiteral("Incremental"), kCodeIncremental},
        {QStringLiteral("Never"), kCodeNever},       {QStringLiteral("Grab"), kCodeGrab},
    };
    return c;
}

const std::vector<std::pair<QString, int>>& directory_line_choices()
{
    static const std::vector<std::pair<QString, int>> c = {
        {QStringLiteral("Priority"), kCodePriority},
        {QStringLiteral("Auto"), kCodeAuto},
        {QStringLiteral("Grab"), kCodeGrab},
        {QStringLiteral("Never"), kCodeNever},
    };
    return c;
}

FileInformationBox::FileInformationBox(const FileInformation& info, QWidget* parent) : QDialog(parent), info_(info)
{
    setWindowTitle(tr("File Information"));
    setObjectName(QStringLiteral("FileInformation"));
    auto* form = new QFormLayout(this);
    form->addRow(tr("File number"), new QLabel(hex(info.file_number), this));
    form->addRow(tr("Holes"), new QLabel(QString::number(info.holes), this));
    size = new QLabel(QString::number(info.file_size), this);
    to = new QLabel(QString::fromStdString(info.to), this);
    from = new QLabel(QString::fromStdString(info.from), this);
    title = new QLabel(QString::fromStdString(info.title), this);
    type = new QLabel(QString::number(info.file_type), this);
    for (QLabel* l : {size, to, from, title, type})
        l->setTextFormat(Qt::PlainText); // header texts from the air are never markup
    form->addRow(tr("File size"), size);
    form->addRow(tr("Percent"), new QLabel(QString::number(info.percent) + QLatin1Char('%'), this));
    form->addRow(tr("To"), to);
    form->addRow(tr("From"), from);
    form->addRow(tr("Title"), title);
    form->addRow(tr("File type"), type);
    status_box = new QComboBox(this);
    for (const auto& [name, code] : file_status_choices()) {
        status_box->addItem(name, code);
        // A file of mine shows as Priority, which keeps it mine.
        if (code == info.status || (info.status == kCodeMine && code == kCodePriority))
            status_box->setCurrentIndex(status_box->count() - 1);
    }
    form->addRow(tr("Status"), status_box);
    request_box = new QCheckBox(tr("Send immediate fill request"), this);
    form->addRow(request_box);
    form->addRow(ok_cancel(this));
}

void FileInformationBox::fill_from_viewer(const std::vector<std::string>& fields)
{
    QLabel* order[] = {to, from, title, size, type};
    for (std::size_t i = 0; i < fields.size() && i < std::size(order); ++i)
        order[i]->setText(QString::fromStdString(fields[i]));
}

int FileInformationBox::status() const { return status_box->currentData().toInt(); }
bool FileInformationBox::request_now() const { return request_box->isChecked(); }

DirectoryLineBox::DirectoryLineBox(std::uint32_t file_number, const FileInformation* info, const QString& line,
                                   QWidget* parent)
    : QDialog(parent), file_number_(file_number)
{
    setWindowTitle(tr("File %1").arg(hex(file_number)));
    setObjectName(QStringLiteral("DirectoryLine"));
    auto* form = new QFormLayout(this);
    form->addRow(new QLabel(line, this));
    if (info) {
        form->addRow(tr("To"), new QLabel(QString::fromStdString(info->to), this));
        form->addRow(tr("From"), new QLabel(QString::fromStdString(info->from), this));
        form->addRow(tr("Title"), new QLabel(QString::fromStdString(info->title), this));
    }
    choice = new QButtonGroup(this);
    auto* row = new QHBoxLayout;
    for (const auto& [name, code] : directory_line_choices()) {
        auto* r = new QRadioButton(name, this);
        r->setChecked(info ? info->status == code : code == kCodeAuto);
        choice->addButton(r, code);
        row->addWidget(r);
    }
    if (!choice->checkedButton())
        choice->button(kCodeAuto)->setChecked(true);
    form->addRow(row);
    form->addRow(ok_cancel(this));
}

int DirectoryLineBox::status() const { return choice->checkedId(); }

} // namespace orva::engine
