#include "platform/xdg/XdgDesktopEntryFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QSaveFile>

#include <algorithm>

namespace {
// Exec= arguments: characters that force quoting, and the ones that must be
// escaped inside the quotes.
bool needsQuoting(const QString &argument)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    for (QChar c : argument)
        if (reserved.contains(c))
            return true;
    return argument.isEmpty();
}

QString quoteArgument(const QString &argument)
{
    if (!needsQuoting(argument))
        return argument;
    QString quoted = QStringLiteral("\"");
    for (QChar c : argument) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            quoted += u'\\';
        quoted += c;
    }
    return quoted + u'"';
}

// The string-value escapes of the key file format, applied on top of the
// Exec quoting (so one backslash in a path ends up as four).
QString escapeValue(const QString &value)
{
    QString escaped;
    for (QChar c : value) {
        if (c == u'\\')
            escaped += QStringLiteral("\\\\");
        else if (c == u'\n')
            escaped += QStringLiteral("\\n");
        else if (c == u'\t')
            escaped += QStringLiteral("\\t");
        else if (c == u'\r')
            escaped += QStringLiteral("\\r");
        else
            escaped += c;
    }
    return escaped;
}

bool isGroupHeader(const QByteArray &line)
{
    return line.trimmed().startsWith('[');
}

// The entry with its main group's Exec line replaced (or added), every
// other line kept byte for byte: a user who switched the entry off in their
// desktop's settings (Hidden=true, X-GNOME-Autostart-enabled=false) keeps
// it off.
QByteArray withExecLine(const QByteArray &text, const QByteArray &execLine)
{
    QList<QByteArray> lines = text.split('\n');
    const auto header = std::find_if(lines.cbegin(), lines.cend(),
                                     [](const QByteArray &line) { return line.trimmed() == "[Desktop Entry]"; });
    if (header == lines.cend())
        return "[Desktop Entry]\n" + execLine + "\n" + text;
    const qsizetype headerIndex = header - lines.cbegin();
    const QByteArray lineEnd = lines.at(headerIndex).endsWith('\r') ? "\r" : "";
    for (qsizetype i = headerIndex + 1; i < lines.size() && !isGroupHeader(lines.at(i)); ++i) {
        const QByteArray &line = lines.at(i);
        const qsizetype equals = line.indexOf('=');
        if (equals > 0 && line.left(equals).trimmed() == "Exec") {
            lines[i] = execLine + (line.endsWith('\r') ? "\r" : "");
            return lines.join('\n');
        }
    }
    lines.insert(headerIndex + 1, execLine + lineEnd);
    return lines.join('\n');
}
} // namespace

QString XdgDesktopEntryFile::execValue(const QString &executablePath)
{
    QString argument = quoteArgument(executablePath);
    argument.replace(u'%', QStringLiteral("%%")); // not a field code
    return escapeValue(argument);
}

std::optional<QString> XdgDesktopEntryFile::write(const QString &path, const QString &executablePath,
                                                  const QByteArray &extraLines)
{
    if (!QDir::isAbsolutePath(executablePath))
        return QStringLiteral("the program's path is not absolute: ") + executablePath;
    const QString directory = QFileInfo(path).path();
    if (!QDir().mkpath(directory))
        return QStringLiteral("cannot create ") + directory;

    const QByteArray execLine = "Exec=" + execValue(executablePath).toUtf8();
    QByteArray entry;
    QFile existing(path);
    if (existing.exists()) {
        if (!existing.open(QIODevice::ReadOnly))
            return path + QStringLiteral(": ") + existing.errorString();
        const QByteArray text = existing.readAll();
        entry = withExecLine(text, execLine);
        if (entry == text)
            return std::nullopt;
    } else {
        entry = "[Desktop Entry]\n"
                "Type=Application\n"
                "Name=Vantorel\n"
                "Comment=Global-hotkey launcher\n"
                + execLine + "\n"
                "Icon=" VANTOREL_APP_ID "\n"
                "Terminal=false\n"
                + extraLines;
    }

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return path + QStringLiteral(": ") + file.errorString();
    file.write(entry);
    if (!file.commit())
        return path + QStringLiteral(": ") + file.errorString();
    return std::nullopt;
}
