#include "ButtonJsonReader.h"

#include <QUuid>

#include <cstring>

namespace {
constexpr int maximumDepth = 256;

// 8-4-4-4-12 hexadecimal digits, either case, nothing else (no braces).
bool isCanonicalUuidText(const QString &text)
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

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}
} // namespace

ButtonJsonReader::ButtonJsonReader(const QByteArray &json) : m_data(json.constData()), m_end(json.size()) {}

std::variant<LaunchButtonList, QString> ButtonJsonReader::read()
{
    LaunchButtonList buttons;
    if (!isValidUtf8())
        return QStringLiteral("the file is not UTF-8 text");
    skipWhitespace();
    if (atEnd())
        return QStringLiteral("the file is empty");
    if (peek() != '[') {
        if (!skipValue(0))
            return m_error;
        skipWhitespace();
        return atEnd() ? QStringLiteral("the file does not hold a JSON array")
                       : (fail(QStringLiteral("text after the value")), m_error);
    }
    ++m_pos;
    skipWhitespace();
    if (peek() == ']') {
        ++m_pos;
    } else {
        bool more = true;
        for (qsizetype index = 0; more; ++index) {
            skipWhitespace();
            if (!readButton(index, buttons) || !afterElement(']', &more))
                return m_error;
        }
    }
    skipWhitespace();
    if (!atEnd()) {
        fail(QStringLiteral("text after the array"));
        return m_error;
    }
    return buttons;
}

bool ButtonJsonReader::readButton(qsizetype index, LaunchButtonList &buttons)
{
    const auto problem = [&](const QString &what) {
        m_error = QStringLiteral("button %1: %2").arg(index + 1).arg(what);
        return false;
    };
    if (peek() != '{') {
        if (!skipValue(0))
            return false;
        return problem(QStringLiteral("not a JSON object"));
    }
    ++m_pos;
    Member id, name, shortcut, target;
    skipWhitespace();
    if (peek() == '}') {
        ++m_pos;
    } else {
        for (;;) {
            skipWhitespace();
            QString key;
            if (peek() != '"')
                return fail(QStringLiteral("expected a member name"));
            if (!readString(&key))
                return false;
            skipWhitespace();
            if (peek() != ':')
                return fail(QStringLiteral("expected \":\""));
            ++m_pos;
            skipWhitespace();
            Member *member = key == u"id" ? &id
                : key == u"name"          ? &name
                : key == u"shortcut"      ? &shortcut
                : key == u"appURLString"  ? &target
                                          : nullptr;
            if (member && peek() == '"') {
                QString value;
                if (!readString(&value))
                    return false;
                *member = Member{std::move(value), true, false};
            } else {
                const bool isNull = peek() == 'n';
                if (!skipValue(1))
                    return false;
                if (member)
                    *member = Member{std::nullopt, true, isNull};
            }
            bool more = false;
            if (!afterElement('}', &more))
                return false;
            if (!more)
                break;
        }
    }

    const std::pair<const char *, const Member *> required[] = {{"id", &id}, {"name", &name}, {"shortcut", &shortcut}};
    for (const auto &[key, member] : required) {
        if (!member->present)
            return problem(QStringLiteral("\"%1\" is missing").arg(QLatin1String(key)));
        if (!member->text)
            return problem(QStringLiteral("\"%1\" is not a string").arg(QLatin1String(key)));
    }
    if (!isCanonicalUuidText(*id.text))
        return problem(QStringLiteral("\"id\" is not a UUID: %1").arg(*id.text));
    if (target.present && !target.text && !target.isNull)
        return problem(QStringLiteral("\"appURLString\" is not a string"));

    buttons.append(LaunchButton::withTargetText(QUuid::fromString(*id.text), std::move(*name.text),
                                                std::move(*shortcut.text), std::move(target.text)));
    return true;
}

bool ButtonJsonReader::readString(QString *out)
{
    ++m_pos; // the opening quote
    QString text;
    for (;;) {
        const qsizetype runStart = m_pos;
        while (!atEnd() && m_data[m_pos] != '"' && m_data[m_pos] != '\\') {
            if (static_cast<unsigned char>(m_data[m_pos]) < 0x20)
                return fail(QStringLiteral("control character in a string"));
            ++m_pos;
        }
        if (atEnd())
            return fail(QStringLiteral("unterminated string"));
        text.append(QString::fromUtf8(m_data + runStart, m_pos - runStart));
        if (m_data[m_pos++] == '"')
            break;
        if (atEnd())
            return fail(QStringLiteral("unterminated string"));
        switch (m_data[m_pos++]) {
        case '"': text.append(u'"'); break;
        case '\\': text.append(u'\\'); break;
        case '/': text.append(u'/'); break;
        case 'b': text.append(u'\b'); break;
        case 'f': text.append(u'\f'); break;
        case 'n': text.append(u'\n'); break;
        case 'r': text.append(u'\r'); break;
        case 't': text.append(u'\t'); break;
        case 'u': {
            char16_t unit = 0;
            if (!readHex4(&unit))
                return false;
            text.append(QChar(unit));
            break;
        }
        default:
            --m_pos;
            return fail(QStringLiteral("invalid escape"));
        }
    }
    *out = std::move(text);
    return true;
}

bool ButtonJsonReader::readHex4(char16_t *out)
{
    if (m_end - m_pos < 4)
        return fail(QStringLiteral("invalid \\u escape"));
    int value = 0;
    for (int i = 0; i < 4; ++i) {
        const int digit = hexValue(m_data[m_pos + i]);
        if (digit < 0)
            return fail(QStringLiteral("invalid \\u escape"));
        value = value * 16 + digit;
    }
    m_pos += 4;
    *out = char16_t(value);
    return true;
}

bool ButtonJsonReader::skipValue(int depth)
{
    if (depth > maximumDepth)
        return fail(QStringLiteral("nested too deeply"));
    skipWhitespace();
    switch (peek()) {
    case '"': {
        QString ignored;
        return readString(&ignored);
    }
    case '{':
    case '[': {
        const char close = peek() == '{' ? '}' : ']';
        const bool isObject = close == '}';
        ++m_pos;
        skipWhitespace();
        if (peek() == close) {
            ++m_pos;
            return true;
        }
        for (;;) {
            skipWhitespace();
            if (isObject) {
                QString key;
                if (peek() != '"' || !readString(&key))
                    return m_error.isEmpty() ? fail(QStringLiteral("expected a member name")) : false;
                skipWhitespace();
                if (peek() != ':')
                    return fail(QStringLiteral("expected \":\""));
                ++m_pos;
            }
            bool more = false;
            if (!skipValue(depth + 1) || !afterElement(close, &more))
                return false;
            if (!more)
                return true;
        }
    }
    case 't': return expectLiteral("true");
    case 'f': return expectLiteral("false");
    case 'n': return expectLiteral("null");
    default: return skipNumber();
    }
}

bool ButtonJsonReader::skipNumber()
{
    const auto digits = [this] {
        const qsizetype start = m_pos;
        while (!atEnd() && m_data[m_pos] >= '0' && m_data[m_pos] <= '9')
            ++m_pos;
        return m_pos > start;
    };
    if (peek() == '-')
        ++m_pos;
    if (peek() == '0')
        ++m_pos;
    else if (!digits())
        return fail(QStringLiteral("unexpected character"));
    if (peek() == '.') {
        ++m_pos;
        if (!digits())
            return fail(QStringLiteral("invalid number"));
    }
    if (peek() == 'e' || peek() == 'E') {
        ++m_pos;
        if (peek() == '+' || peek() == '-')
            ++m_pos;
        if (!digits())
            return fail(QStringLiteral("invalid number"));
    }
    return true;
}

bool ButtonJsonReader::expectLiteral(const char *literal)
{
    const qsizetype length = qsizetype(strlen(literal));
    if (m_end - m_pos < length || memcmp(m_data + m_pos, literal, size_t(length)) != 0)
        return fail(QStringLiteral("unexpected character"));
    m_pos += length;
    return true;
}

bool ButtonJsonReader::afterElement(char close, bool *more)
{
    skipWhitespace();
    if (peek() == ',' || peek() == close) {
        *more = peek() == ',';
        ++m_pos;
        return true;
    }
    return fail(QStringLiteral("expected \",\" or \"%1\"").arg(QLatin1Char(close)));
}

bool ButtonJsonReader::isValidUtf8() const
{
    const auto *bytes = reinterpret_cast<const unsigned char *>(m_data);
    qsizetype i = 0;
    while (i < m_end) {
        const unsigned char lead = bytes[i];
        if (lead < 0x80) {
            ++i;
            continue;
        }
        int length = 0;
        char32_t minimum = 0;
        char32_t codePoint = 0;
        if ((lead & 0xE0) == 0xC0) {
            length = 2, minimum = 0x80, codePoint = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3, minimum = 0x800, codePoint = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4, minimum = 0x10000, codePoint = lead & 0x07;
        } else {
            return false;
        }
        if (m_end - i < length)
            return false;
        for (int k = 1; k < length; ++k) {
            if ((bytes[i + k] & 0xC0) != 0x80)
                return false;
            codePoint = (codePoint << 6) | (bytes[i + k] & 0x3F);
        }
        if (codePoint < minimum || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
            return false;
        i += length;
    }
    return true;
}

void ButtonJsonReader::skipWhitespace()
{
    while (!atEnd()) {
        const char c = m_data[m_pos];
        if (c != ' ' && c != '\t' && c != '\n' && c != '\r')
            return;
        ++m_pos;
    }
}

bool ButtonJsonReader::fail(const QString &what)
{
    if (m_error.isEmpty())
        m_error = QStringLiteral("not valid JSON (%1 at byte %2)").arg(what).arg(m_pos);
    return false;
}
