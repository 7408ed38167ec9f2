#include "model/ButtonCodec.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>


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

namespace {
// 8-4-4-4-12 hexadecimal digits, either case, nothing else (no braces).
bool isCanonicalUuidText(QStringView text)
{
    if (text.size() != 36)
        return false;
    for (qsizetype i = 0; i < 36; ++i) {
        const char16_t c = text.at(i).unicode();
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (c != u'-')
                return false;
        } else if (!((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F'))) {
            return false;
        }
    }
    return true;
}

// One button object, or why it is not one.
std::variant<LaunchButton, QString> decodeButton(const QJsonValue &value)
{
    if (!value.isObject())
        return QStringLiteral("not a JSON object");
    const QJsonObject object = value.toObject();
    QString texts[3];
    const QLatin1String required[3] = {QLatin1String("id"), QLatin1String("name"), QLatin1String("shortcut")};
    for (int i = 0; i < 3; ++i) {
        const auto member = object.constFind(required[i]);
        if (member == object.constEnd())
            return QStringLiteral("\"%1\" is missing").arg(required[i]);
        if (!member->isString())
            return QStringLiteral("\"%1\" is not a string").arg(required[i]);
        texts[i] = member->toString();
    }
    if (!isCanonicalUuidText(texts[0]))
        return QStringLiteral("\"id\" is not a UUID: %1").arg(texts[0]);
    std::optional<QString> target;
    if (const auto member = object.constFind(QLatin1String("appURLString")); member != object.constEnd()) {
        if (member->isString())
            target = member->toString();
        else if (!member->isNull())
            return QStringLiteral("\"appURLString\" is not a string");
    }
    return LaunchButton::withTargetText(QUuid::fromString(texts[0]), std::move(texts[1]), std::move(texts[2]),
                                        std::move(target));
}
} // namespace

std::variant<LaunchButtonList, QString> ButtonCodec::decode(const QByteArray &json)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError)
        return QStringLiteral("not valid JSON (%1 at byte %2)").arg(error.errorString()).arg(error.offset);
    if (!document.isArray())
        return QStringLiteral("the file does not hold a JSON array");
    const QJsonArray array = document.array();
    LaunchButtonList buttons;
    buttons.reserve(array.size());
    for (qsizetype index = 0; index < array.size(); ++index) {
        auto button = decodeButton(array.at(index));
        if (auto *problem = std::get_if<QString>(&button))
            return QStringLiteral("button %1: %2").arg(index + 1).arg(*problem);
        buttons.append(std::get<LaunchButton>(std::move(button)));
    }
    return buttons;
}
