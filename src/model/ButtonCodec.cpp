#include "ButtonCodec.h"

#include "ButtonJsonReader.h"


namespace {
bool needsEscaping(QChar c)
{
    return c == u'"' || c == u'\\' || c.unicode() < 0x20 || c.isSurrogate();
}

void appendEscaped(QByteArray &out, char16_t unit)
{
    switch (unit) {
    case u'"': out.append("\\\""); break;
    case u'\\': out.append("\\\\"); break;
    case u'\n': out.append("\\n"); break;
    case u'\r': out.append("\\r"); break;
    case u'\t': out.append("\\t"); break;
    case u'\b': out.append("\\b"); break;
    case u'\f': out.append("\\f"); break;
    default: out.append(QStringLiteral("\\u%1").arg(unsigned(unit), 4, 16, QLatin1Char('0')).toLatin1());
    }
}

// UTF-8 except for what JSON must escape. A surrogate without its partner
// (the file may hold one as an escape) is written back as the same escape:
// UTF-8 cannot carry it, and the name must survive a save untouched.
void appendJsonString(QByteArray &out, const QString &text)
{
    out.append('"');
    const qsizetype length = text.size();
    qsizetype runStart = 0;
    for (qsizetype i = 0; i < length; ++i) {
        const QChar c = text.at(i);
        if (!needsEscaping(c))
            continue;
        if (c.isHighSurrogate() && i + 1 < length && text.at(i + 1).isLowSurrogate()) {
            ++i; // a proper pair is plain text
            continue;
        }
        out.append(QStringView(text).mid(runStart, i - runStart).toUtf8());
        appendEscaped(out, c.unicode());
        runStart = i + 1;
    }
    out.append(QStringView(text).mid(runStart).toUtf8());
    out.append('"');
}

void appendMember(QByteArray &out, const char *key, const QString &value)
{
    out.append('"').append(key).append("\":");
    appendJsonString(out, value);
}

} // namespace

QByteArray ButtonCodec::encode(const LaunchButtonList &buttons)
{
    QByteArray out = "[";
    out.reserve(buttons.size() * 160);
    for (qsizetype i = 0; i < buttons.size(); ++i) {
        const LaunchButton &button = buttons.at(i);
        if (i > 0)
            out.append(',');
        out.append('{');
        appendMember(out, "id", button.id().toString(QUuid::WithoutBraces).toUpper());
        out.append(',');
        appendMember(out, "name", button.name);
        out.append(',');
        appendMember(out, "shortcut", button.shortcut);
        if (button.appURLString) {
            out.append(',');
            appendMember(out, "appURLString", *button.appURLString);
        }
        out.append('}');
    }
    out.append(']');
    return out;
}

std::variant<LaunchButtonList, QString> ButtonCodec::decode(const QByteArray &json)
{
    return ButtonJsonReader(json).read();
}
