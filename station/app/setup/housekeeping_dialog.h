// "File Housekeeping": the rules, saved on OK and run at once for all satellites or one; and
// "Edit Directory": thinning out or resetting a satellite's directory hole list.
#pragma once

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include <chrono>
#include <functional>

#include "platform/messenger.h"
#include "platform/store/store.h"

namespace orva::station::app {

using StationNow = std::function<std::int64_t()>; // seconds since 1970 UTC on the station's clock

class HousekeepingDialog : public QDialog {
    Q_OBJECT
public:
    HousekeepingDialog(platform::Store& store, StationNow now, QWidget* parent = nullptr);
    void accept() override;

    QRadioButton *all, *single;
    QComboBox* satellite;
    QCheckBox *act, *dlx, *ul, *messages, *my_messages;
    QLineEdit *files_age, *messages_age, *keep;
    QRadioButton *no_action, *delete_oldest;
    std::uint32_t last_count = 0;

private:
    platform::Store& store_;
    StationNow now_;
};

class EditDirectoryDialog : public QDialog {
    Q_OBJECT
public:
    EditDirectoryDialog(platform::Store& store, platform::Messenger* messenger, StationNow now, QWidget* parent = nullptr);
    void accept() override;

    QComboBox* satellite;
    QLabel* status;
    QRadioButton *remove_holes, *reset_date;
    QLineEdit* age;

private:
    void show_status();
    platform::Store& store_;
    platform::Messenger* messenger_;
    StationNow now_;
};

// The PacSat satellites' names, for the dialogs' lists.
QStringList pacsat_names(const platform::Store& store);

} // namespace orva::station::app
