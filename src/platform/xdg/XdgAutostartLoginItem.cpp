#include "XdgAutostartLoginItem.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>

namespace {
QString configHome()
{
    // XDG base directories ignore a relative value.
    const QString configured = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!configured.isEmpty() && QDir::isAbsolutePath(configured))
        return configured;
    return QDir::homePath() + QStringLiteral("/.config");
}

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
// it off. Lines are split at '\n' only; an entry written with CRLF keeps its
// '\r's, and the Exec line gets one too.
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

QString XdgAutostartLoginItem::entryPath()
{
    return configHome() + QStringLiteral("/autostart/" VANTOREL_APP_ID ".desktop");
}

QString XdgAutostartLoginItem::earlierEntryPath()
{
    return configHome() + QStringLiteral("/autostart/vantorel.desktop");
}

// Earlier versions named the entry after the program. It becomes the entry
// under the desktop id, with whatever the user set in it; two entries would
// start the program twice at login.
void XdgAutostartLoginItem::takeOverEarlierEntry()
{
    const QString earlier = earlierEntryPath();
    if (!QFileInfo::exists(earlier))
        return;
    if (QFileInfo::exists(entryPath()) || !QFile::rename(earlier, entryPath()))
        QFile::remove(earlier);
}

QString XdgAutostartLoginItem::execValue(const QString &executablePath)
{
    QString argument = quoteArgument(executablePath);
    argument.replace(u'%', QStringLiteral("%%")); // not a field code
    return escapeValue(argument);
}

std::optional<QString> XdgAutostartLoginItem::registerApplication(const QString &executablePath)
{
    if (!QDir::isAbsolutePath(executablePath))
        return QStringLiteral("the program's path is not absolute: ") + executablePath;

    const QString path = entryPath();
    const QString directory = QFileInfo(path).path();
    if (!QDir().mkpath(directory))
        return QStringLiteral("cannot create ") + directory;

    takeOverEarlierEntry();
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
                "X-GNOME-Autostart-enabled=true\n";
    }

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return path + QStringLiteral(": ") + file.errorString();
    file.write(entry);
    if (!file.commit())
        return path + QStringLiteral(": ") + file.errorString();
    return std::nullopt;
}
