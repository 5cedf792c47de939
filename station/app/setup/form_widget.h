// The editors of a setup page, built from the page's form rows: a line edit for text and
// numbers (with the page's length and digit limits), a check box for flags, a list for choices.
// Editors are found by their field label (also their object name, for tests and screenshots).
#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "station/setup/form.h"

namespace orva::station::app {

// Every message box of the setup dialogs goes through here, so tests can collect them.
void show_message(QWidget* parent, const QString& caption, const QString& text);
using MessageHook = std::function<void(const QString& caption, const QString& text)>;
void set_message_hook(MessageHook hook); // empty: real message boxes

struct FieldSpec {
    QString label;
    setup::Input input;
    int limit = 0;
    QStringList choices;
};

class FormWidget : public QWidget {
    Q_OBJECT
public:
    explicit FormWidget(const std::vector<FieldSpec>& fields, QWidget* parent = nullptr);

    bool has(const QString& label) const { return editors_.count(label) != 0; }
    // The text as the form rows take it: "1"/"0" for a box, the chosen text (empty if none) of a list.
    QString text(const QString& label) const;
    bool chosen(const QString& label) const; // a list with an entry chosen, or any other editor
    void set_text(const QString& label, const QString& text);
    void focus(const QString& label);
    void set_field_enabled(const QString& label, bool enabled);
    QWidget* editor(const QString& label) const;
    const std::vector<FieldSpec>& fields() const { return fields_; }

signals:
    void edited(const QString& label);

private:
    std::vector<FieldSpec> fields_;
    std::map<QString, QWidget*> editors_;
};

template <class R>
std::vector<FieldSpec> field_specs(const std::vector<setup::FormField<R>>& rows, const std::string& page)
{
    std::vector<FieldSpec> out;
    for (const auto& f : rows) {
        if (!page.empty() && page != f.page)
            continue;
        QStringList choices;
        for (const auto& c : f.choices)
            choices << QString::fromStdString(c);
        out.push_back({QString::fromUtf8(f.label), f.input, f.limit, choices});
    }
    return out;
}

template <class R>
void load_form(FormWidget& w, const std::vector<setup::FormField<R>>& rows, const R& record)
{
    for (const auto& f : rows) {
        QString label = QString::fromUtf8(f.label);
        if (!w.has(label))
            continue;
        w.set_text(label, QString::fromStdString(f.show(record)));
        if (f.enabled)
            w.set_field_enabled(label, f.enabled(record));
    }
}

// Stores the editors' texts into the record; the first refusal gives its field and message.
template <class R>
std::optional<std::pair<QString, QString>> store_form(const FormWidget& w, const std::vector<setup::FormField<R>>& rows,
                                                      R& record)
{
    for (const auto& f : rows) {
        QString label = QString::fromUtf8(f.label);
        if (!w.has(label) || !w.chosen(label))
            continue;
        if (Status s = setup::apply_text(f, record, w.text(label).toStdString()); !s)
            return std::pair{label, QString::fromStdString(s.error().message)};
    }
    return std::nullopt;
}

} // namespace orva::station::app
