// The boxes of a pass: Upload Status, Fill File, Information, Change Frequencies, File
// Information and the status box of a directory line. Each shows or edits plain values; the
// window reads them back and calls the session.
#pragma once

#include "engine/session/brek_session.h"

#include <QDialog>

#include <vector>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace orva::engine {

class UploadStatusBox : public QDialog {
    Q_OBJECT
public:
    explicit UploadStatusBox(QWidget* parent = nullptr);
    void show_boxes(const StatusBoxes& boxes);
    QLabel *link, *bbs, *queue, *held, *file, *percent, *bytes, *cps, *remaining;
    QPushButton* disc;

signals:
    // The operator releases the link.
    void disconnect_requested();
};

class FillFileBox : public QDialog {
    Q_OBJECT
public:
    FillFileBox(const std::vector<std::uint32_t>& candidates, QWidget* parent = nullptr);
    bool directory() const;
    // The file typed or chosen (hexadecimal, up to 8 digits); none when it does not parse.
    std::optional<std::uint32_t> file_number() const;
    bool auto_override() const;
    QComboBox* file;
    QRadioButton *fill_file, *fill_directory;
    QCheckBox* override_box;
};

class InformationBox : public QDialog {
    Q_OBJECT
public:
    explicit InformationBox(QWidget* parent = nullptr);
    void show_figures(const InformationFigures& f);
    QLabel* figures;
};

class ChangeFrequenciesBox : public QDialog {
    Q_OBJECT
public:
    explicit ChangeFrequenciesBox(const FrequencyChoice& choice, QWidget* parent = nullptr);
    FrequencyChoice value() const;
    QButtonGroup *uplink, *downlink;
    QSpinBox* offset;

private:
    FrequencyChoice base_;
};

// The download-status codes the File Information box offers, in its order.
const std::vector<std::pair<QString, int>>& file_status_choices();
const std::vector<std::pair<QString, int>>& directory_line_choices();

class FileInformationBox : public QDialog {
    Q_OBJECT
public:
    explicit FileInformationBox(const FileInformation& info, QWidget* parent = nullptr);
    const FileInformation& opened() const { return info_; }
    int status() const;
    bool request_now() const;
    // The viewer's fields (2030): destination, source, title, size and type, as it shows them.
    void fill_from_viewer(const std::vector<std::string>& fields);
    std::uint32_t box_id = 0;
    QComboBox* status_box;
    QCheckBox* request_box;
    QLabel *to, *from, *title, *size, *type;

private:
    FileInformation info_;
};

class DirectoryLineBox : public QDialog {
    Q_OBJECT
public:
    DirectoryLineBox(std::uint32_t file_number, const FileInformation* info, const QString& line,
                     QWidget* parent = nullptr);
    std::uint32_t file_number() const { return file_number_; }
    int status() const;
    QButtonGroup* choice;

private:
    std::uint32_t file_number_;
};

} // namespace orva::engine
