// Tessel's boxes: choosing a satellite, finding a file, the custom search, the information and
// statistics boxes and the setup box. Texts from headers are shown as plain text.
#pragma once

#include "common/settings/suite_settings.h"
#include "dirview/directory_model.h"

#include <QDialog>

#include <functional>
#include <string>
#include <utility>
#include <vector>

class QLineEdit;
class QListWidget;
class QCheckBox;

namespace orva::dirview {

// "Select Satellite": OK or a double click on a name chooses it.
class SelectSatelliteBox : public QDialog {
    Q_OBJECT
public:
    // `help` runs on the Help button.
    SelectSatelliteBox(const std::vector<std::string>& names, QWidget* parent, std::function<void()> help = {});
    std::string chosen() const;
    QListWidget* names() const { return list_; }

private:
    QListWidget* list_;
};

// "Find File": the number is read as hexadecimal; the box stays open while `find` says no.
class FindFileBox : public QDialog {
    Q_OBJECT
public:
    FindFileBox(std::function<bool(const std::string&)> find, QWidget* parent);
    QLineEdit* number() const { return number_; }
    void accept() override;

private:
    std::function<bool(const std::string&)> find_;
    QLineEdit* number_;
};

// "File Search": To, From, Title, Keywords, Filetype.
class FileSearchBox : public QDialog {
    Q_OBJECT
public:
    explicit FileSearchBox(QWidget* parent);
    SearchFields fields() const;
    QLineEdit* field(const char* name) const;

private:
    std::vector<std::pair<const char*, QLineEdit*>> fields_;
};

// A box of label/value lines: "Message Information" and "Directory Statistics".
class LinesBox : public QDialog {
    Q_OBJECT
public:
    LinesBox(const QString& title, const std::vector<std::pair<std::string, std::string>>& lines, QWidget* parent);
    // The value shown beside a label.
    QString value(const QString& label) const;

private:
    std::vector<std::pair<QString, QString>> lines_;
};

std::vector<std::pair<std::string, std::string>> information_lines(const InfoText& info);

// "Tessel Setup".
class SetupBox : public QDialog {
    Q_OBJECT
public:
    SetupBox(const settings::TesselSettings& s, QWidget* parent);
    // The settings with the box's values: an empty number field keeps the old value.
    settings::TesselSettings result(settings::TesselSettings s) const;
    QLineEdit *max_pfh = nullptr, *max_messages = nullptr;
    QCheckBox *mark_never = nullptr, *load_bbs = nullptr, *strings = nullptr;
};

} // namespace orva::dirview
