#include "ButtonCodec.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace {
void appendJsonString(QByteArray &out, const QString &text)
{
    out.append('"');
    for (const char c : text.toUtf8()) {
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
    out.append('"');
}

void appendMember(QByteArray &out, const char *key, const QString &value)
{
    out.append('"').append(key).append("\":");
    appendJsonString(out, value);
}

bool isCanonicalUuidText(const QString &text)
{
    static const QRegularExpression form(
        QStringLiteral("^[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12}$"));
    return form.match(text).hasMatch();
}

QString problemAt(qsizetype index, const QString &what)
{
    return QStringLiteral("button %1: %2").arg(index + 1).arg(what);
}
} // namespace

QByteArray ButtonCodec::encode(const LaunchButtonList &buttons)
{
    QByteArray out = "[";
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
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError)
        return QStringLiteral("not valid JSON (%1 at byte %2)").arg(error.errorString()).arg(error.offset);
    if (!document.isArray())
        return QStringLiteral("the file does not hold a JSON array");

    const QJsonArray array = document.array();
    LaunchButtonList buttons;
    buttons.reserve(array.size());
    for (qsizetype i = 0; i < array.size(); ++i) {
        if (!array.at(i).isObject())
            return problemAt(i, QStringLiteral("not a JSON object"));
        const QJsonObject object = array.at(i).toObject();
        for (const char *key : {"id", "name", "shortcut"}) {
            const QJsonValue value = object.value(QLatin1String(key));
            if (value.isUndefined())
                return problemAt(i, QStringLiteral("\"%1\" is missing").arg(QLatin1String(key)));
            if (!value.isString())
                return problemAt(i, QStringLiteral("\"%1\" is not a string").arg(QLatin1String(key)));
        }
        const QString idText = object.value(QLatin1String("id")).toString();
        if (!isCanonicalUuidText(idText))
            return problemAt(i, QStringLiteral("\"id\" is not a UUID: %1").arg(idText));

        std::optional<QString> target;
        const QJsonValue targetValue = object.value(QLatin1String("appURLString"));
        if (targetValue.isString())
            target = targetValue.toString();
        else if (!targetValue.isUndefined() && !targetValue.isNull())
            return problemAt(i, QStringLiteral("\"appURLString\" is not a string"));

        buttons.append(LaunchButton::withTargetText(QUuid::fromString(idText),
                                                    object.value(QLatin1String("name")).toString(),
                                                    object.value(QLatin1String("shortcut")).toString(),
                                                    std::move(target)));
    }
    return buttons;
}
