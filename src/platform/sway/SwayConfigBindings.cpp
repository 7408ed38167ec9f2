#include "platform/sway/SwayConfigBindings.h"

#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <utility>

namespace {
const QRegularExpression whitespace(QStringLiteral("\\s+"));

// The config's lines, each continued line joined to the next.
QStringList logicalLines(const QString &text)
{
    QStringList lines;
    QString pending;
    for (const QString &raw : text.split(QLatin1Char('\n'))) {
        QString line = raw.trimmed();
        if (line.endsWith(QLatin1Char('\\')) && !line.startsWith(QLatin1Char('#'))) {
            line.chop(1);
            pending += line + QLatin1Char(' ');
            continue;
        }
        lines.append((pending + line).trimmed());
        pending.clear();
    }
    if (!pending.isEmpty())
        lines.append(pending.trimmed());
    return lines;
}

// sway's $variables, longest name first so that $mod does not eat $modkey.
class Variables {
public:
    void set(const QString &name, const QString &value)
    {
        const auto known = std::find_if(m_variables.begin(), m_variables.end(),
                                        [&](const auto &variable) { return variable.first == name; });
        if (known != m_variables.end()) {
            known->second = value;
            return;
        }
        m_variables.append({name, value});
        std::stable_sort(m_variables.begin(), m_variables.end(),
                         [](const auto &a, const auto &b) { return a.first.size() > b.first.size(); });
    }

    QString replacedIn(const QString &text) const
    {
        QString result;
        for (qsizetype at = 0; at < text.size();) {
            if (text.at(at) == QLatin1Char('$') && (at == 0 || text.at(at - 1) != QLatin1Char('\\'))) {
                const auto variable = std::find_if(m_variables.cbegin(), m_variables.cend(), [&](const auto &candidate) {
                    return QStringView(text).mid(at).startsWith(candidate.first);
                });
                if (variable != m_variables.cend()) {
                    result += variable->second;
                    at += variable->first.size();
                    continue;
                }
            }
            result += text.at(at++);
        }
        return result;
    }

private:
    QList<std::pair<QString, QString>> m_variables; // name with its '$', value
};

// The first word of text, and where the rest begins after the spaces.
std::pair<QString, qsizetype> firstWord(const QString &text, qsizetype from)
{
    while (from < text.size() && text.at(from).isSpace())
        ++from;
    qsizetype end = from;
    while (end < text.size() && !text.at(end).isSpace())
        ++end;
    qsizetype rest = end;
    while (rest < text.size() && text.at(rest).isSpace())
        ++rest;
    return {text.mid(from, end - from), rest};
}
} // namespace

namespace {
// sway reads included files where the include line stands; this deep is
// surely a loop.
constexpr int maxIncludeDepth = 10;

void readInto(QList<SwayConfigBindings::Binding> &bindings, Variables &variables, const QString &text,
              const QString &file, const SwayConfigBindings::IncludedFiles &included, int depth)
{
    QStringList blocks; // the prefix each open block puts before its lines
    for (const QString &line : logicalLines(text)) {
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        if (line == QLatin1String("}")) {
            if (!blocks.isEmpty())
                blocks.removeLast();
            continue;
        }
        const QString prefix = blocks.isEmpty() ? QString() : blocks.constLast();
        QString statement = prefix.isEmpty() ? line : prefix + QLatin1Char(' ') + line;
        if (statement.endsWith(QLatin1Char('{'))) {
            statement.chop(1);
            blocks.append(statement.trimmed());
            continue;
        }

        const auto [command, afterCommand] = firstWord(statement, 0);
        if (command == QLatin1String("set")) {
            const auto [name, afterName] = firstWord(statement, afterCommand);
            if (name.startsWith(QLatin1Char('$')) && name.size() > 1)
                variables.set(name, variables.replacedIn(statement.mid(afterName)));
            continue;
        }
        if (command == QLatin1String("include")) {
            if (!included || depth >= maxIncludeDepth)
                continue;
            const QString pattern = variables.replacedIn(statement.mid(afterCommand)).trimmed();
            for (const auto &[path, contents] : included(pattern, file))
                readInto(bindings, variables, contents, path, included, depth + 1);
            continue;
        }
        if (command != QLatin1String("bindsym"))
            continue; // mode blocks start with "mode", so their bindings end here too
        statement = variables.replacedIn(statement);

        qsizetype at = firstWord(statement, 0).second;
        QString keys;
        for (;;) {
            const auto [word, rest] = firstWord(statement, at);
            at = rest;
            if (!word.startsWith(QLatin1String("--"))) {
                keys = word;
                break;
            }
        }
        const std::optional<SwayKeys::Chord> chord = SwayKeys::chordOf(keys);
        if (!chord)
            continue;
        bindings.append({keys, statement.mid(at).trimmed(), *chord});
    }
}
} // namespace

SwayConfigBindings SwayConfigBindings::parse(const QString &configText, const QString &configPath,
                                             const IncludedFiles &included)
{
    SwayConfigBindings result;
    Variables variables;
    readInto(result.m_bindings, variables, configText, configPath, included, 0);
    return result;
}

std::optional<SwayConfigBindings::Binding> SwayConfigBindings::holderOf(const QString &keys) const
{
    const std::optional<SwayKeys::Chord> chord = SwayKeys::chordOf(keys);
    if (!chord)
        return std::nullopt;
    for (auto binding = m_bindings.crbegin(); binding != m_bindings.crend(); ++binding) {
        if (binding->chord == *chord)
            return *binding;
    }
    return std::nullopt;
}
