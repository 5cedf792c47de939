#include "station/app/setup/option_dialog.h"

#include <QDialogButtonBox>
#include <QVBoxLayout>

#include "common/settings/satellite_record.h"
#include "common/settings/keys.h"

namespace orva::station::app {

OptionDialog::OptionDialog(platform::Store& store, setup::OptionForm form, std::function<void()> saved,
                           QWidget* parent)
    : QDialog(parent), store_(store), form_(std::move(form)), on_saved_(std::move(saved)),
      values_(setup::read_options(store, form_))
{
    setWindowTitle(QString::fromStdString(form_.title));
    auto rows = form_.form();
    widget_ = new FormWidget(field_specs(rows, ""), this);
    load_form(*widget_, rows, values_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &OptionDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &OptionDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(widget_);
    layout->addWidget(buttons);
}

void OptionDialog::accept()
{
    setup::OptionValues values = values_;
    auto rows = form_.form();
    if (auto refused = store_form(*widget_, rows, values)) {
        show_message(this, windowTitle(), refused->second);
        widget_->focus(refused->first);
        return;
    }
    auto saved = setup::write_options(store_, form_, values);
    if (!saved) {
        show_message(this, "Helmo", "The settings could not be written: " + QString::fromStdString(saved.error().message));
        return;
    }
    for (const auto& m : saved->messages)
        show_message(this, "Helmo", QString::fromStdString(m));
    values_ = values;
    if (on_saved_)
        on_saved_();
    QDialog::accept();
}

OptionDialog* make_dispo_setup(platform::Store& store, QWidget* parent)
{
    return new OptionDialog(store, setup::dispo_setup_form(store), {}, parent);
}

} // namespace orva::station::app
