#include "ButtonCodec.h"

#include "ButtonJsonReader.h"

#include <algorithm>

namespace {
bool needsEscaping(char c)
{
    return c == '"' || c == '\\' || static_cast<unsigned char>(c) < 0x20;
}

void appendEscapedUtf8(QByteArray &out, QStringView text)
{
    const QByteArray utf8 = text.toUtf8();
    if (std::none_of(utf8.cbegin(), utf8.cend(), needsEscaping)) {
        out.append(utf8);
        return;
    }
    for (const char c : utf8) {
        switch (c) {
        case '"': out.append("\\\""); break;
        case '\\': out.append("\\\\"); break;
        case '\n': out.append("\\n"); break;
        case '\r': out.append("\\r"); break;
        case '\t': out.append("\\t"); break;
        case '\b': out.append("\\b"); break;
        case '\f': out.append("\\f"); break;
        default:
            if (static_cast<unsigned char>(c) < 0x20)
                out.append(QStringLiteral("\\u%1").arg(int(c), 4, 16, QLatin1Char('0')).toLatin1());
            else
                out.append(c);
        }
    }
}

// A lone surrogate has no UTF-8 form: it is written as its \u escape, which
// the reader turns back into the same code unit.
void appendJsonString(QByteArray &out, const QString &text)
{
    out.append('"');
    qsizetype runStart = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!text.at(i).isSurrogate())
            continue;
        if (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            ++i;
            continue;
        }
        appendEscapedUtf8(out, QStringView(text).mid(runStart, i - runStart));
        out.append(QStringLiteral("\\u%1").arg(text.at(i).unicode(), 4, 16, QLatin1Char('0')).toLatin1());
        runStart = i + 1;
    }
    appendEscapedUtf8(out, QStringView(text).mid(runStart));
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
