#include "station/app/setup/viewer_dialogs.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QVBoxLayout>

#include "common/atomic_file.h"
#include "common/file_names.h"
#include "common/settings/satellite_record.h"
#include "common/settings/suite_settings.h"
#include "station/app/setup/form_widget.h"
#include "station/app/setup/housekeeping_dialog.h"
#include "station/viewers/reports.h"

namespace orva::station::app {

namespace fs = std::filesystem;

namespace {

QListWidget* fixed_list(QWidget* parent)
{
    auto* l = new QListWidget(parent);
    l->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    return l;
}

QStringList items(const QListWidget* l)
{
    QStringList out;
    for (int i = 0; i < l->count(); ++i)
        out << l->item(i)->text();
    return out;
}

std::string satellite_directory(const platform::Store& store, const QString& name)
{
    auto r = settings::read_satellite(store, name.toStdString(), settings::Program::Helmo);
    return r ? r->satellite_directory : std::string();
}

std::string read_log(const fs::path& folder, bool& found)
{
    auto file = find_file_nocase(folder, "Brek.LOG");
    auto bytes = file ? read_file(*file) : Result<std::vector<std::uint8_t>>(make_error("none"));
    found = bytes.ok();
    return found ? std::string(bytes->begin(), bytes->end()) : std::string();
}

} // namespace

DispoErrorsDialog::DispoErrorsDialog(platform::Store& store, QWidget* parent)
    : QDialog(parent), list(fixed_list(this)), suite_(settings::read_general(store, settings::Program::Helmo).orva_directory)
{
    setWindowTitle("Dispo Errors");
    auto* print = new QPushButton("Print", this);
    auto* clear = new QPushButton("Clear", this);
    auto* close = new QPushButton("Close", this);
    auto* row = new QHBoxLayout;
    for (auto* b : {print, clear, close})
        row->addWidget(b);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list);
    layout->addLayout(row);
    connect(print, &QPushButton::clicked, this, [this] { print_with_dialog(this, print_job()); });
    connect(clear, &QPushButton::clicked, this, [this] { clear_log(); accept(); });
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
}

bool DispoErrorsDialog::load()
{
    auto lines = dispo_error_lines(suite_);
    if (!lines) {
        show_message(this, "Helmo", QString::fromStdString(lines.error().message));
        return false;
    }
    list->clear();
    for (const auto& l : *lines)
        list->addItem(QString::fromStdString(l));
    return true;
}

PrintJob DispoErrorsDialog::print_job() const
{
    return {"Dispo Error Log", "Helmo - Dispo Error Log", kDispoErrorHeading, items(list)};
}

void DispoErrorsDialog::clear_log()
{
    if (auto f = find_file_nocase(suite_, "Dispo Error Log.TXT")) {
        std::error_code ec;
        if (!fs::remove(*f, ec))
            show_message(this, "Helmo", QString::fromStdString("The error log could not be deleted: " + ec.message()));
    }
    list->clear();
}

BrekLogsDialog::BrekLogsDialog(platform::Store& store, QWidget* parent)
    : QDialog(parent), satellites(new QListWidget(this)), list(fixed_list(this)), average(new QLabel(this)),
      uploads(new QPushButton("Uploads", this)), store_(store)
{
    setWindowTitle("Brek Logs");
    satellites->addItems(pacsat_names(store));
    auto* heading = new QLabel(kSessionLogHeading, this);
    heading->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    auto* print = new QPushButton("Print", this);
    auto* clear = new QPushButton("Clear", this);
    auto* close = new QPushButton("Close", this);
    uploads->setEnabled(false);
    auto* row = new QHBoxLayout;
    for (auto* b : {uploads, print, clear, close})
        row->addWidget(b);
    auto* right = new QVBoxLayout;
    right->addWidget(heading);
    right->addWidget(list);
    right->addWidget(average);
    auto* top = new QHBoxLayout;
    top->addWidget(satellites);
    top->addLayout(right, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(row);
    connect(satellites, &QListWidget::currentTextChanged, this, &BrekLogsDialog::choose);
    connect(print, &QPushButton::clicked, this, [this] { print_with_dialog(this, print_job()); });
    connect(clear, &QPushButton::clicked, this, [this] {
        fs::path folder = satellite_directory(store_, satellites->currentItem() ? satellites->currentItem()->text() : "");
        if (auto f = find_file_nocase(folder, "Brek.LOG")) {
            std::error_code ec;
            fs::remove(*f, ec);
        }
        list->clear();
    });
    connect(uploads, &QPushButton::clicked, this, [this] {
        if (satellites->currentItem()) {
            UploadLogDialog d(store_, satellites->currentItem()->text(), this);
            d.exec();
        }
    });
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
}

void BrekLogsDialog::choose(const QString& satellite)
{
    list->clear();
    average->clear();
    uploads->setEnabled(false);
    bool found = false;
    std::string log = read_log(satellite_directory(store_, satellite), found);
    if (!found) {
        show_message(this, "Helmo", "There is no log file for this satellite.");
        return;
    }
    SessionReport r = session_report(log);
    for (const auto& row : r.rows)
        list->addItem(QString::fromStdString(row));
    average_text_ = r.average_efficiency ? QString::number(*r.average_efficiency) : QString();
    average->setText("Average Efficiency: " + average_text_ + (r.average_efficiency ? "%" : ""));
    uploads->setEnabled(r.uploads_seen);
}

PrintJob BrekLogsDialog::print_job() const
{
    QString sat = satellites->currentItem() ? satellites->currentItem()->text() : QString();
    QStringList lines = items(list);
    lines << "" << "" << QString("Average Percent Efficiency for %1 is %2%.").arg(sat, average_text_);
    return {"Brek Log", "Helmo - Brek Log", QString("Brek Log for %1\n").arg(sat) + kSessionLogPrintHeading, lines};
}

UploadLogDialog::UploadLogDialog(platform::Store& store, const QString& satellite, QWidget* parent)
    : QDialog(parent), list(fixed_list(this)), summary(new QLabel(this))
{
    setWindowTitle("Upload Logging");
    bool found = false;
    UploadReport r = upload_report(read_log(satellite_directory(store, satellite), found));
    for (const auto& row : r.rows)
        list->addItem(QString::fromStdString(row));
    summary->setText(QString("%1 uploads at an average speed of %2 bytes per second").arg(r.count).arg(r.average_speed));
    auto* heading = new QLabel(kUploadLogHeading, this);
    heading->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addWidget(list);
    layout->addWidget(summary);
    layout->addWidget(buttons);
}

UploadFilesDialog::UploadFilesDialog(platform::Store& store, QWidget* parent)
    : QDialog(parent), satellites(new QListWidget(this)), list(fixed_list(this)), directory(new QLabel(this)), store_(store)
{
    setWindowTitle("Upload File Status");
    satellites->addItems(pacsat_names(store));
    ask_destination = [this](const QStringList& names) {
        bool ok = false;
        QString s = QInputDialog::getItem(this, "Copy", "Destination Sat", names, 0, false, &ok);
        return ok ? s : QString("[None]");
    };
    auto* heading = new QLabel(kUploadFilesHeading, this);
    heading->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    auto* del = new QPushButton("Delete", this);
    auto* copy = new QPushButton("Copy", this);
    auto* close = new QPushButton("Close", this);
    auto* row = new QHBoxLayout;
    for (auto* b : {del, copy, close})
        row->addWidget(b);
    auto* right = new QVBoxLayout;
    right->addWidget(directory);
    right->addWidget(heading);
    right->addWidget(list);
    auto* top = new QHBoxLayout;
    top->addWidget(satellites);
    top->addLayout(right, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(row);
    connect(satellites, &QListWidget::currentTextChanged, this, &UploadFilesDialog::choose);
    connect(del, &QPushButton::clicked, this, &UploadFilesDialog::delete_selected);
    connect(copy, &QPushButton::clicked, this, [this] {
        QStringList names{"[None]"};
        names << pacsat_names(store_);
        copy_selected(ask_destination(names));
    });
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
}

void UploadFilesDialog::choose(const QString& satellite)
{
    folder_ = satellite_directory(store_, satellite);
    directory->setText("Dir: " + QString::fromStdString(folder_.string()));
    list->clear();
    for (const auto& f : upload_files(folder_)) {
        auto* item = new QListWidgetItem(QString::fromStdString(f.row()), list);
        item->setData(Qt::UserRole, QString::fromStdString(f.path.string()));
    }
}

void UploadFilesDialog::delete_selected()
{
    auto* item = list->currentItem();
    if (!item)
        return;
    std::error_code ec;
    if (!fs::remove(item->data(Qt::UserRole).toString().toStdString(), ec))
        show_message(this, "Helmo", "Can't find source file.");
    choose(satellites->currentItem() ? satellites->currentItem()->text() : QString());
}

void UploadFilesDialog::copy_selected(const QString& destination)
{
    auto* item = list->currentItem();
    if (!item || destination == "[None]" || destination.isEmpty())
        return;
    Status s = copy_upload_file(item->data(Qt::UserRole).toString().toStdString(), satellite_directory(store_, destination));
    if (!s)
        show_message(this, "Helmo", QString::fromStdString(s.error().message));
}

RunDispoDialog::RunDispoDialog(platform::Store& store, std::function<Status(const std::string&)> start, QWidget* parent)
    : QDialog(parent), satellites(new QListWidget(this)), start_(std::move(start))
{
    setWindowTitle("Run Dispo");
    satellites->addItems(pacsat_names(store));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &RunDispoDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(satellites, &QListWidget::itemDoubleClicked, this, &RunDispoDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(satellites);
    layout->addWidget(buttons);
}

void RunDispoDialog::accept()
{
    if (!satellites->currentItem())
        return;
    std::string command = "DISPO.EXE S~" + satellites->currentItem()->text().toStdString() + " F~*.DL";
    if (Status s = start_(command); !s) {
        show_message(this, "Helmo", QString::fromStdString("Dispo could not be started: " + s.error().message));
        return;
    }
    QDialog::accept();
}

} // namespace orva::station::app
