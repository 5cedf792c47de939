#include "station/app/setup/programs_dialog.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "station/app/setup/form_widget.h"
#include "station/setup/programs_setup.h"

namespace orva::station::app {

Result<platform::Process> run_program(const platform::Store& store, const platform::Launcher& launcher, const std::string& title)
{
    auto entry = setup::find_program_entry(store, title);
    if (!entry)
        return entry.error();
    platform::LaunchOptions options;
    options.working_directory = entry->directory; // the child's, never Helmo's
    options.show = entry->run == 0 ? platform::ShowMode::MinimisedNoActivate
        : entry->run == 1          ? platform::ShowMode::Maximised
                                   : platform::ShowMode::Normal;
    auto started = launcher.start(entry->file_name, options);
    if (!started)
        return make_error("\"" + title + "\" could not be started: " + started.error().message);
    return started;
}

ProgramsDialog::ProgramsDialog(platform::Store& store, QWidget* parent)
    : QDialog(parent), list(new QListWidget(this)), title(new QLineEdit(this)), directory(new QLineEdit(this)),
      program(new QLineEdit(this)), toolbar(new QCheckBox("Display on toolbar", this)), del(new QPushButton("Delete", this)),
      store_(store)
{
    setWindowTitle("Setup Programs");
    title->setMaxLength(29);
    directory->setMaxLength(259);
    program->setMaxLength(259);
    auto* form = new QFormLayout;
    form->addRow("Menu Title", title);
    form->addRow("Startup Directory", directory);
    form->addRow("Program Name", program);
    form->addRow(toolbar);
    auto* add = new QPushButton("New", this);
    auto* ok = new QPushButton("OK", this);
    auto* cancel = new QPushButton("Cancel", this);
    auto* buttons = new QHBoxLayout;
    for (auto* b : {add, ok, del, cancel})
        buttons->addWidget(b);
    auto* right = new QVBoxLayout;
    right->addLayout(form);
    right->addLayout(buttons);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(list);
    layout->addLayout(right);
    del->setEnabled(false);
    connect(add, &QPushButton::clicked, this, &ProgramsDialog::clear_fields);
    connect(ok, &QPushButton::clicked, this, &ProgramsDialog::save);
    connect(del, &QPushButton::clicked, this, &ProgramsDialog::delete_selected);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(list, &QListWidget::currentRowChanged, this, [this](int row) {
        auto all = setup::program_entries(store_);
        del->setEnabled(row >= 0);
        if (row < 0 || row >= static_cast<int>(all.size()))
            return;
        const auto& p = all[static_cast<std::size_t>(row)].second;
        title->setText(QString::fromStdString(p.name));
        directory->setText(QString::fromStdString(p.directory));
        program->setText(QString::fromStdString(p.file_name));
        toolbar->setChecked(p.toolbar);
    });
    refill();
}

void ProgramsDialog::refill()
{
    list->clear();
    for (const auto& [path, p] : setup::program_entries(store_))
        list->addItem(QString::fromStdString(p.name));
    del->setEnabled(false);
}

void ProgramsDialog::clear_fields()
{
    title->clear();
    directory->clear();
    program->clear();
    toolbar->setChecked(false);
}

void ProgramsDialog::save()
{
    if (title->text().isEmpty())
        return;
    settings::ToolbarProgram p;
    p.name = title->text().toStdString();
    p.directory = directory->text().toStdString();
    p.file_name = program->text().toStdString();
    p.toolbar = toolbar->isChecked() ? 1 : 0;
    if (auto key = setup::save_program_entry(store_, p); !key) {
        show_message(this, "Helmo", QString::fromStdString(key.error().message));
        return; // fields stay as typed
    }
    refill();
}

void ProgramsDialog::delete_selected()
{
    int row = list->currentRow();
    auto all = setup::program_entries(store_);
    if (row < 0 || row >= static_cast<int>(all.size()))
        return;
    if (Status s = setup::delete_program_entry(store_, all[static_cast<std::size_t>(row)].first); !s)
        show_message(this, "Helmo", QString::fromStdString(s.error().message));
    refill();
}

} // namespace orva::station::app
