#include "platform/sway/SwayCommand.h"

#include <algorithm>

namespace {
bool isPlain(QChar c)
{
    return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) || (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
        || (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || QStringView(u"/._+-=:@%,").contains(c);
}

bool fitsOnOneLine(const QString &text)
{
    return std::none_of(text.cbegin(), text.cend(), [](QChar c) { return c.category() == QChar::Other_Control; });
}
} // namespace

std::optional<QString> SwayCommand::bind(const QString &keys, const QString &program, const QString &actionId)
{
    if (!fitsOnOneLine(program) || !fitsOnOneLine(actionId))
        return std::nullopt;
    return QStringLiteral("bindsym --no-warn %1 exec \"%2 --activate %3\"")
        .arg(keys, shellWord(program), shellWord(actionId, true));
}

QString SwayCommand::unbind(const QString &keys)
{
    return QStringLiteral("unbindsym ") + keys;
}

QString SwayCommand::shellWord(const QString &text, bool always)
{
    if (!always && !text.isEmpty() && std::all_of(text.cbegin(), text.cend(), isPlain))
        return text;
    QString word = QStringLiteral("'");
    for (const QChar c : text) {
        if (c == QLatin1Char('\'') || c == QLatin1Char('"') || c == QLatin1Char('\\') || c == QLatin1Char('$'))
            word += QStringLiteral("'\\") + c + QLatin1Char('\'');
        else
            word += c;
    }
    return word + QLatin1Char('\'');
}
