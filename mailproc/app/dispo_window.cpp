#include "mailproc/app/dispo_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMetaObject>
#include <QPainter>

namespace orva::mailproc {

DispoWindow::DispoWindow(DispoConfig config, QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName("Dispo");
    setWindowTitle("Mail Processor");
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setGeometry(10, 19, 400, 40);
    worker_ = std::make_unique<DispoWorker>(
        std::move(config),
        [this](const std::string& line) {
            QString text = QString::fromStdString(line);
            QMetaObject::invokeMethod(this, [this, text] { set_status(text); }, Qt::QueuedConnection);
        },
        [this] {
            QMetaObject::invokeMethod(this, [this] {
                worker_done_ = true;
                close();
            }, Qt::QueuedConnection);
        },
        [] { QMetaObject::invokeMethod(qApp, [] { QApplication::beep(); }, Qt::QueuedConnection); });
}

DispoWindow::~DispoWindow() = default;

void DispoWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!started_) { // the work starts with the window
        started_ = true;
        worker_->start();
    }
}

void DispoWindow::set_status(const QString& text)
{
    status_ = text;
    update();
}

void DispoWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.drawText(rect().adjusted(2, 2, -2, -2), Qt::AlignLeft | Qt::AlignTop, status_);
}

void DispoWindow::closeEvent(QCloseEvent* event)
{
    // Closing early lets the current download finish; nothing is left half filed. The window
    // goes at once and the worker ends on its own thread (an extractor may run for minutes);
    // its end closes the window again, for good.
    if (started_ && !worker_done_) {
        worker_->request_stop();
        hide();
        event->ignore();
        return;
    }
    worker_.reset();
    event->accept();
    emit finished();
}

} // namespace orva::mailproc
