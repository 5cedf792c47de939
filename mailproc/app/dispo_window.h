// The window of class Dispo, "Mail Processor": one status line while the worker files the
// downloads; it closes itself when the worker is done.
#pragma once

#include <QWidget>

#include <memory>

#include "mailproc/app/dispo_hosts.h"

namespace orva::mailproc {

class DispoWindow : public QWidget {
    Q_OBJECT
public:
    explicit DispoWindow(DispoConfig config, QWidget* parent = nullptr);
    ~DispoWindow() override;
    QString status_text() const { return status_; }

signals:
    void finished();

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void set_status(const QString& text);

    QString status_;
    std::unique_ptr<DispoWorker> worker_;
    bool started_ = false;
    bool worker_done_ = false;
};

} // namespace orva::mailproc
