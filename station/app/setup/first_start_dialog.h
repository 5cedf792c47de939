// "Orva Setup": Helmo's first start on a store that was never set up. It asks for the station's
// callsign, its position (a Maidenhead locator, or latitude and longitude with their hemispheres)
// and the Orva folder. OK writes them with every fixed key of the store, as `orva setup` does
// (setup::write_first_setup); Cancel writes nothing.
#pragma once

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <string>

#include "platform/store/store.h"

namespace orva::station::app {

class FirstStartDialog : public QDialog {
    Q_OBJECT
public:
    // exec()'s result when the store could not be written: Helmo cannot go on.
    static constexpr int StoreFailed = 2;

    explicit FirstStartDialog(platform::Store& store, QWidget* parent = nullptr);

    QLineEdit* callsign() const { return callsign_; }
    QLineEdit* locator() const { return locator_; }
    QLineEdit* latitude() const { return latitude_; }
    QComboBox* north_south() const { return north_south_; }
    QLineEdit* longitude() const { return longitude_; }
    QComboBox* east_west() const { return east_west_; }
    QLineEdit* folder() const { return folder_; }

    // After OK: the Orva folder as stored. After StoreFailed: why the store refused.
    const std::string& orva_directory() const { return orva_directory_; }
    const std::string& store_failure() const { return store_failure_; }

    void accept() override;

private:
    void locator_edited();
    void refuse(QWidget* field, const std::string& message);

    platform::Store& store_;
    QLineEdit *callsign_, *locator_, *latitude_, *longitude_, *folder_;
    QComboBox *north_south_, *east_west_;
    QLabel* locator_note_;
    QPushButton* browse_;
    std::string orva_directory_, store_failure_;
};

} // namespace orva::station::app
