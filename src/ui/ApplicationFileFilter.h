#pragma once

#include <QSortFilterProxyModel>

// Narrows a file dialog to what can be launched: folders (to walk into),
// desktop entries and executable files.
class ApplicationFileFilter : public QSortFilterProxyModel {
    Q_OBJECT

public:
    using QSortFilterProxyModel::QSortFilterProxyModel;

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;
};
