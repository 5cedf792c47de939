// The per-session settings boxes of the Setup menu and Select Satellite. Each edits a plain value
// copied from the running session; the window hands the result back to the session.
#pragma once

#include "engine/session/brek_session.h"

#include <QDialog>

#include <string>
#include <vector>

class QButtonGroup;
class QCheckBox;
class QLineEdit;
class QListWidget;
class QSpinBox;

namespace orva::engine {

class GeneralOptionsBox : public QDialog {
    Q_OBJECT
public:
    explicit GeneralOptionsBox(const GeneralOptions& options, QWidget* parent = nullptr);
    GeneralOptions value() const;
    QLineEdit *inactivity, *up_to_date, *threshold;
    QCheckBox *download_yours, *print_headers, *run_dispo, *maximise_upload, *block_bbs, *grab_all;
};

class TncSettingsDialog : public QDialog {
    Q_OBJECT
public:
    explicit TncSettingsDialog(const TncSettingsBox& box, QWidget* parent = nullptr);
    // As typed; the session clamps it.
    TncSettingsBox value() const;
    QLineEdit *tx_delay, *tx_tail, *retries, *max_frame, *retry_time, *packet_length;
};

class BroadcastOptionsBox : public QDialog {
    Q_OBJECT
public:
    explicit BroadcastOptionsBox(const BroadcastOptions& options, QWidget* parent = nullptr);
    BroadcastOptions value() const;
    QCheckBox* auto_fill;
    QButtonGroup *custom, *tail;
    QSpinBox* dir_priority;
};

class SelectSatelliteBox : public QDialog {
    Q_OBJECT
public:
    SelectSatelliteBox(const std::vector<std::string>& names, const std::string& current, QWidget* parent = nullptr);
    std::string chosen() const;
    QListWidget* list;
};

} // namespace orva::engine
