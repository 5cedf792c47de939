// The Qt face of the directory model's display list: two columns, the file number and the text
// line, drawn in the list font. Only rows in view are asked for, so 100,000 entries cost nothing
// until shown. Texts are plain strings; nothing in a header is read as markup.
#pragma once

#include "dirview/directory_model.h"

#include <QAbstractTableModel>

#include <vector>

namespace orva::dirview {

class DirectoryTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit DirectoryTableModel(DirectoryModel& model, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // The display list was rebuilt (a mode, a search, a new satellite).
    void reset();
    // These rows changed in place (status, message flag, a replaced header).
    void rows_changed(const std::vector<std::size_t>& rows);

private:
    DirectoryModel& model_;
};

} // namespace orva::dirview
