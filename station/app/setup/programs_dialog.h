// "Setup Programs" and the Programs menu's launcher: `run_program` starts an entry's command in
// its directory without changing Helmo's own current directory, and a program that does not
// start is reported.
#pragma once

#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "platform/launcher.h"
#include "platform/store/store.h"

namespace orva::station::app {

// Starts the entry titled `title` (letter case counts).
Result<platform::Process> run_program(const platform::Store& store, const platform::Launcher& launcher,
                                      const std::string& title);

class ProgramsDialog : public QDialog {
    Q_OBJECT
public:
    ProgramsDialog(platform::Store& store, QWidget* parent = nullptr);
    void save();            // OK: write the entry of the title; the dialog stays open
    void delete_selected();
    void clear_fields();    // New

    QListWidget* list;
    QLineEdit *title, *directory, *program;
    QCheckBox* toolbar;
    QPushButton* del;

private:
    void refill();
    platform::Store& store_;
};

} // namespace orva::station::app
