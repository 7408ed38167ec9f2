#include "platform/posix/RunningExecutable.h"

#include <QCoreApplication>
#include <QFile>

QString RunningExecutable::path()
{
    QString target = QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
    // A file replaced while it runs (a package upgrade) reads "… (deleted)";
    // the new one at the same path is the one to start next time.
    const QString replaced = QStringLiteral(" (deleted)");
    if (target.endsWith(replaced) && !QFile::exists(target))
        target.chop(replaced.size());
    // Without /proc mounted, what Qt finds from the arguments.
    if (target.isEmpty() && QCoreApplication::instance())
        target = QCoreApplication::applicationFilePath();
    return target;
}
