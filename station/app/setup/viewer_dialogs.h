// The read-only views of what the other programs leave on disk: "Dispo Errors", "Brek Logs" with
// "Upload Logging", "Upload File Status" (delete, copy to another satellite) and "Run Dispo".
#pragma once

#include <QDialog>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include <filesystem>
#include <functional>

#include "platform/store/store.h"
#include "station/app/setup/list_printer.h"

namespace orva::station::app {

class DispoErrorsDialog : public QDialog {
    Q_OBJECT
public:
    DispoErrorsDialog(platform::Store& store, QWidget* parent = nullptr);
    // False (after saying so) when there is no error log to show.
    bool load();
    PrintJob print_job() const;
    void clear_log();
    QListWidget* list;

private:
    std::filesystem::path suite_;
};

class BrekLogsDialog : public QDialog {
    Q_OBJECT
public:
    BrekLogsDialog(platform::Store& store, QWidget* parent = nullptr);
    void choose(const QString& satellite);
    PrintJob print_job() const;
    QListWidget *satellites, *list;
    QLabel* average;
    QPushButton* uploads;

private:
    platform::Store& store_;
    QString average_text_;
};

class UploadLogDialog : public QDialog {
    Q_OBJECT
public:
    UploadLogDialog(platform::Store& store, const QString& satellite, QWidget* parent = nullptr);
    QListWidget* list;
    QLabel* summary;
};

class UploadFilesDialog : public QDialog {
    Q_OBJECT
public:
    // `ask_destination` picks the destination satellite from the list ("[None]" first); the
    // default asks with a list dialog.
    UploadFilesDialog(platform::Store& store, QWidget* parent = nullptr);
    void choose(const QString& satellite);
    void delete_selected();
    void copy_selected(const QString& destination);
    QListWidget *satellites, *list;
    QLabel* directory;
    std::function<QString(const QStringList&)> ask_destination;

private:
    platform::Store& store_;
    std::filesystem::path folder_;
};

class RunDispoDialog : public QDialog {
    Q_OBJECT
public:
    // `start` runs the command line ("DISPO.EXE S~AO-16 F~*.DL"); its error is shown.
    RunDispoDialog(platform::Store& store, std::function<Status(const std::string&)> start, QWidget* parent = nullptr);
    void accept() override;
    QListWidget* satellites;

private:
    std::function<Status(const std::string&)> start_;
};

} // namespace orva::station::app
