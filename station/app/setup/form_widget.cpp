#include "station/app/setup/form_widget.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QRegularExpressionValidator>

namespace orva::station::app {

namespace {
MessageHook& hook()
{
    static MessageHook h;
    return h;
}
} // namespace

void set_message_hook(MessageHook h) { hook() = std::move(h); }

void show_message(QWidget* parent, const QString& caption, const QString& text)
{
    if (hook()) {
        hook()(caption, text);
        return;
    }
    QMessageBox::warning(parent, caption, text);
}

FormWidget::FormWidget(const std::vector<FieldSpec>& fields, QWidget* parent) : QWidget(parent), fields_(fields)
{
    auto* layout = new QFormLayout(this);
    for (const auto& f : fields_) {
        QWidget* editor = nullptr;
        switch (f.input) {
        case setup::Input::Flag: {
            auto* box = new QCheckBox(this);
            connect(box, &QCheckBox::toggled, this, [this, l = f.label] { emit edited(l); });
            editor = box;
            break;
        }
        case setup::Input::Choice: {
            auto* list = new QComboBox(this);
            list->addItems(f.choices);
            list->setCurrentIndex(-1);
            connect(list, &QComboBox::currentIndexChanged, this, [this, l = f.label] { emit edited(l); });
            editor = list;
            break;
        }
        default: {
            auto* line = new QLineEdit(this);
            if (f.limit > 0)
                line->setMaxLength(f.limit);
            if (f.input == setup::Input::Digits)
                line->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), line));
            if (f.input == setup::Input::Decimal)
                line->setValidator(new QRegularExpressionValidator(QRegularExpression("-?[0-9]*\\.?[0-9]*"), line));
            connect(line, &QLineEdit::textEdited, this, [this, l = f.label] { emit edited(l); });
            editor = line;
            break;
        }
        }
        editor->setObjectName(f.label);
        editors_[f.label] = editor;
        layout->addRow(f.input == setup::Input::Flag ? QString() : f.label, editor);
        if (auto* box = qobject_cast<QCheckBox*>(editor))
            box->setText(f.label);
    }
}

QWidget* FormWidget::editor(const QString& label) const
{
    auto it = editors_.find(label);
    return it == editors_.end() ? nullptr : it->second;
}

QString FormWidget::text(const QString& label) const
{
    QWidget* e = editor(label);
    if (auto* box = qobject_cast<QCheckBox*>(e))
        return box->isChecked() ? "1" : "0";
    if (auto* list = qobject_cast<QComboBox*>(e))
        return list->currentText();
    if (auto* line = qobject_cast<QLineEdit*>(e))
        return line->text();
    return {};
}

bool FormWidget::chosen(const QString& label) const
{
    if (auto* list = qobject_cast<QComboBox*>(editor(label)))
        return list->currentIndex() >= 0;
    return editor(label) != nullptr;
}

void FormWidget::set_text(const QString& label, const QString& text)
{
    QWidget* e = editor(label);
    if (auto* box = qobject_cast<QCheckBox*>(e))
        box->setChecked(text == "1");
    else if (auto* list = qobject_cast<QComboBox*>(e))
        list->setCurrentIndex(list->findText(text, Qt::MatchFixedString));
    else if (auto* line = qobject_cast<QLineEdit*>(e))
        line->setText(text);
}

void FormWidget::focus(const QString& label)
{
    if (QWidget* e = editor(label))
        e->setFocus();
}

void FormWidget::set_field_enabled(const QString& label, bool enabled)
{
    if (QWidget* e = editor(label))
        e->setEnabled(enabled);
}

} // namespace orva::station::app
