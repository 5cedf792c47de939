#include "dirview/app/directory_table_model.h"

#include <QBrush>
#include <QColor>

namespace orva::dirview {

DirectoryTableModel::DirectoryTableModel(DirectoryModel& model, QObject* parent)
    : QAbstractTableModel(parent), model_(model)
{
}

int DirectoryTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(model_.row_count());
}

int DirectoryTableModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 2; }

QVariant DirectoryTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || std::size_t(index.row()) >= model_.row_count())
        return {};
    const auto row = std::size_t(index.row());
    switch (role) {
    case Qt::DisplayRole: {
        const std::string text = model_.column_text(row, index.column() == 0 ? Column::FileNumber : Column::Line);
        return QString::fromUtf8(text.data(), qsizetype(text.size()));
    }
    case Qt::ForegroundRole:
        switch (model_.row_colour(row)) {
        case RowColour::Red: return QBrush(QColor(Qt::red));
        case RowColour::Blue: return QBrush(QColor(Qt::blue));
        // Other rows take the desktop's text colour, so a dark theme stays readable.
        default: return {};
        }
    case Qt::TextAlignmentRole: return QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    default: return {};
    }
}

QVariant DirectoryTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    return QString::fromLatin1(section == 0 ? kNumberHeading : kRowHeading);
}

void DirectoryTableModel::reset()
{
    beginResetModel();
    endResetModel();
}

void DirectoryTableModel::rows_changed(const std::vector<std::size_t>& rows)
{
    const int count = rowCount();
    for (std::size_t r : rows)
        if (int(r) < count)
            emit dataChanged(index(int(r), 0), index(int(r), 1));
}

} // namespace orva::dirview
