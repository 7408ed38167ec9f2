#pragma once

#include "LaunchButton.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <variant>

// A strict JSON reader for the button file, fast enough for lists of many
// thousands of buttons: it walks the text once and builds the buttons
// directly, skipping (but still checking) members it does not know.
class ButtonJsonReader {
public:
    explicit ButtonJsonReader(const QByteArray &json);

    std::variant<LaunchButtonList, QString> read();

private:
    struct Member {
        std::optional<QString> text; // a string value
        bool present = false;
        bool isNull = false;
    };

    bool readButton(qsizetype index, LaunchButtonList &buttons);
    bool readString(QString *out);
    bool skipValue(int depth);
    bool skipNumber();
    // After an array element or object member: a comma (*more) or the close.
    bool afterElement(char close, bool *more);
    bool expectLiteral(const char *literal);
    bool readHex4(char16_t *out);
    void skipWhitespace();
    bool isValidUtf8() const;
    bool atEnd() const { return m_pos >= m_end; }
    char peek() const { return atEnd() ? '\0' : m_data[m_pos]; }
    bool fail(const QString &what);

    const char *m_data;
    qsizetype m_pos = 0;
    qsizetype m_end;
    QString m_error;
};
