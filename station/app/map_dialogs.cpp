// The map window's dialogs on the desktop.
#include "station/app/map_window.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFontDialog>
#include <QGridLayout>
#include <QInputDialog>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>

namespace orva::station::map {

namespace {

QString qs(const std::string& s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }

// The observer file's names on one side, the map's observers on the other with the home
// station first and fixed; at most five on the map.
class ObserversDialog : public QDialog {
public:
    ObserversDialog(QWidget* parent, const std::string& home, const std::vector<std::string>& available,
                    const std::vector<std::string>& chosen)
        : QDialog(parent)
    {
        setWindowTitle(tr("Change Observers"));
        auto* grid = new QGridLayout(this);
        grid->addWidget(new QLabel(tr("Observers"), this), 0, 0);
        grid->addWidget(new QLabel(tr("On the map"), this), 0, 2);
        file_ = new QListWidget(this);
        map_ = new QListWidget(this);
        for (const auto& n : available)
            file_->addItem(qs(n));
        auto* home_item = new QListWidgetItem(qs(home), map_);
        home_item->setFlags(Qt::ItemIsEnabled);
        for (const auto& n : chosen)
            map_->addItem(qs(n));
        auto* add = new QPushButton(tr("Add >>"), this);
        auto* remove = new QPushButton(tr("<< Remove"), this);
        grid->addWidget(file_, 1, 0, 3, 1);
        grid->addWidget(add, 1, 1);
        grid->addWidget(remove, 2, 1);
        grid->addWidget(map_, 1, 2, 3, 1);
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
        grid->addWidget(buttons, 4, 0, 1, 3);
        connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        connect(add, &QPushButton::clicked, this, &ObserversDialog::add);
        connect(file_, &QListWidget::itemDoubleClicked, this, &ObserversDialog::add);
        connect(remove, &QPushButton::clicked, this, &ObserversDialog::remove);
        connect(map_, &QListWidget::itemDoubleClicked, this, &ObserversDialog::remove);
    }

    std::vector<std::string> chosen() const
    {
        std::vector<std::string> out;
        for (int i = 1; i < map_->count(); ++i)
            out.push_back(map_->item(i)->text().toStdString());
        return out;
    }

private:
    void add()
    {
        auto* item = file_->currentItem();
        if (!item || map_->count() >= kMaxObservers)
            return;
        if (map_->findItems(item->text(), Qt::MatchExactly).isEmpty())
            map_->addItem(item->text());
    }
    void remove()
    {
        const int row = map_->currentRow();
        if (row > 0)
            delete map_->takeItem(row);
    }

    QListWidget* file_;
    QListWidget* map_;
};

class DesktopMapDialogs final : public MapDialogs {
public:
    std::optional<std::string> choose_satellite(QWidget* parent, const std::vector<std::string>& names,
                                                const std::string& current) override
    {
        QStringList items;
        int at = 0;
        for (std::size_t i = 0; i < names.size(); ++i) {
            items << qs(names[i]);
            if (names[i] == current)
                at = int(i);
        }
        bool ok = false;
        const QString item = QInputDialog::getItem(parent, QObject::tr("Select Satellite"), QObject::tr("Satellite"),
                                                   items, at, false, &ok);
        if (!ok || item.isEmpty())
            return std::nullopt;
        return item.toStdString();
    }

    std::optional<std::vector<std::string>> choose_observers(QWidget* parent, const std::string& home,
                                                             const std::vector<std::string>& available,
                                                             const std::vector<std::string>& chosen) override
    {
        ObserversDialog d(parent, home, available, chosen);
        if (d.exec() != QDialog::Accepted)
            return std::nullopt;
        return d.chosen();
    }

    std::optional<int> ask_speed(QWidget* parent, int current) override
    {
        bool ok = false;
        const int v = QInputDialog::getInt(parent, QObject::tr("Map Speed"),
                                           QObject::tr("Map updates per orbit in fast mode"), current, 1, 10000, 1, &ok);
        if (!ok)
            return std::nullopt;
        return v;
    }

    std::optional<QFont> choose_font(QWidget* parent, const QFont& current) override
    {
        bool ok = false;
        const QFont f = QFontDialog::getFont(&ok, current, parent, QObject::tr("Select Map Font"),
                                             QFontDialog::MonospacedFonts);
        if (!ok)
            return std::nullopt;
        return f;
    }

    void show_error(QWidget* parent, const std::string& text) override
    {
        QMessageBox::warning(parent, QStringLiteral("Helmo"), qs(text));
    }
};

} // namespace

std::unique_ptr<MapDialogs> desktop_map_dialogs() { return std::make_unique<DesktopMapDialogs>(); }

} // namespace orva::station::map
