#include "ui/ApplicationFileFilter.h"

#include <QFileSystemModel>

bool ApplicationFileFilter::filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const
{
    const auto *files = qobject_cast<const QFileSystemModel *>(sourceModel());
    if (!files)
        return true;
    const QFileInfo info = files->fileInfo(files->index(sourceRow, 0, sourceParent));
    if (info.isDir())
        return true;
    return info.suffix() == QLatin1String("desktop") || (info.isFile() && info.isExecutable());
}
