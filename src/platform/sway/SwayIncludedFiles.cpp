#include "platform/sway/SwayIncludedFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace {
// A configuration file is a few kilobytes; anything far larger is no config.
constexpr qint64 maxFileSize = 4 * 1024 * 1024;
} // namespace

QString SwayIncludedFiles::expanded(const QString &pattern, const QString &includingFile)
{
    QString path = pattern.trimmed();
    if (path.size() >= 2
        && ((path.startsWith(QLatin1Char('"')) && path.endsWith(QLatin1Char('"')))
            || (path.startsWith(QLatin1Char('\'')) && path.endsWith(QLatin1Char('\''))))) {
        path = path.mid(1, path.size() - 2);
    }
    if (path == QLatin1String("~") || path.startsWith(QLatin1String("~/")))
        path.replace(0, 1, QDir::homePath());
    static const QRegularExpression variable(QStringLiteral(R"(\$(?:\{([A-Za-z_][A-Za-z0-9_]*)\}|([A-Za-z_][A-Za-z0-9_]*)))"));
    QString result;
    qsizetype last = 0;
    for (auto match = variable.globalMatch(path); match.hasNext();) {
        const QRegularExpressionMatch found = match.next();
        const QString name = found.captured(1).isEmpty() ? found.captured(2) : found.captured(1);
        result += path.mid(last, found.capturedStart() - last) + qEnvironmentVariable(name.toLocal8Bit().constData());
        last = found.capturedEnd();
    }
    result += path.mid(last);
    if (QDir::isRelativePath(result)) {
        const QString base = includingFile.isEmpty() ? QDir::currentPath() : QFileInfo(includingFile).path();
        result = QDir(base).filePath(result);
    }
    return QDir::cleanPath(result);
}

QList<std::pair<QString, QString>> SwayIncludedFiles::read(const QString &pattern, const QString &includingFile)
{
    const QFileInfo path(expanded(pattern, includingFile));
    QStringList files;
    if (path.fileName().contains(QRegularExpression(QStringLiteral(R"([*?\[])")))) {
        const QDir dir = path.dir();
        for (const QString &name : dir.entryList({path.fileName()}, QDir::Files | QDir::Readable, QDir::Name))
            files << dir.filePath(name);
    } else {
        files << path.filePath();
    }
    QList<std::pair<QString, QString>> contents;
    for (const QString &name : std::as_const(files)) {
        QFile file(name);
        if (file.size() > maxFileSize || !file.open(QIODevice::ReadOnly))
            continue;
        contents.append({name, QString::fromUtf8(file.readAll())});
    }
    return contents;
}
