#include "engine/window/download_table_view.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>

namespace orva::engine {

namespace {

constexpr int kPercentRole = Qt::UserRole + 1;

class ProgressDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const QVariant v = index.data(kPercentRole);
        if (!v.isValid())
            return QStyledItemDelegate::paint(painter, option, index);
        const int percent = std::clamp(v.toInt(), 0, 100);
        const QRect r = option.rect.adjusted(2, 3, -2, -3);
        painter->save();
        painter->setPen(Qt::darkGray);
        painter->drawRect(r.adjusted(0, 0, -1, -1));
        painter->fillRect(QRect(r.left() + 1, r.top() + 1, (r.width() - 2) * percent / 100, r.height() - 2),
                          QColor(0, 128, 0));
        painter->setPen(percent > 50 ? Qt::white : Qt::black);
        painter->drawText(r, Qt::AlignCenter, QString::number(percent) + QLatin1Char('%'));
        painter->restore();
    }
};

QTableWidgetItem* cell(const QString& text, Qt::Alignment align)
{
    auto* item = new QTableWidgetItem(text);
    item->setTextAlignment(align | Qt::AlignVCenter);
    item->setFlags(Qt::ItemIsEnabled);
    return item;
}

} // namespace

QString received_text(const DownloadRow& row)
{
    if (row.file_number == 0)
        return {};
    if (row.total == 0)
        return QString::number(row.received) + QStringLiteral(" of ?");
    return QString::number(row.received) + QStringLiteral(" of ") + QString::number(row.total);
}

DownloadTableView::DownloadTableView(QWidget* parent) : QTableWidget(int(kTableRows), ColumnCount, parent)
{
    setHorizontalHeaderLabels({tr("File"), tr("Bytes received"), tr("Holes"), tr("Progress")});
    verticalHeader()->setVisible(false);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    horizontalHeader()->setSectionResizeMode(FileColumn, QHeaderView::ResizeToContents);
    horizontalHeader()->setSectionResizeMode(HolesColumn, QHeaderView::ResizeToContents);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::NoSelection);
    setFocusPolicy(Qt::NoFocus);
    setItemDelegateForColumn(ProgressColumn, new ProgressDelegate(this));
    rows_.resize(kTableRows);
    for (int r = 0; r < int(kTableRows); ++r)
        for (int c = 0; c < ColumnCount; ++c)
            setItem(r, c, cell({}, c == FileColumn ? Qt::AlignLeft : Qt::AlignRight));
}

void DownloadTableView::set_rows(std::vector<DownloadRow> rows)
{
    rows.resize(kTableRows);
    for (int r = 0; r < int(kTableRows); ++r) {
        const DownloadRow& row = rows[std::size_t(r)];
        if (row == rows_[std::size_t(r)] && item(r, 0))
            continue;
        const bool busy = row.file_number != 0;
        item(r, FileColumn)->setText(busy ? QString::fromStdString(row.name) : QString());
        item(r, ReceivedColumn)->setText(received_text(row));
        item(r, HolesColumn)->setText(busy ? QString::number(row.holes) : QString());
        item(r, ProgressColumn)->setData(kPercentRole, busy ? QVariant(row.percent) : QVariant());
    }
    rows_ = std::move(rows);
}

std::uint32_t DownloadTableView::file_at(int row) const
{
    if (row < 0 || std::size_t(row) >= rows_.size())
        return 0;
    return rows_[std::size_t(row)].file_number;
}

void DownloadTableView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (const std::uint32_t f = file_at(rowAt(event->position().toPoint().y())))
        emit file_double_clicked(f);
}

void DownloadTableView::contextMenuEvent(QContextMenuEvent* event)
{
    const QPoint at = viewport()->mapFromGlobal(event->globalPos());
    emit menu_requested(file_at(rowAt(at.y())), event->globalPos());
}

} // namespace orva::engine
