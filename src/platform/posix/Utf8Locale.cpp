#include "platform/posix/Utf8Locale.h"

#include <QList>
#include <QtGlobal>

#include <clocale>
#include <cstring>

#include <langinfo.h>

namespace {
bool environmentLocaleIsUtf8()
{
    return std::setlocale(LC_ALL, "") != nullptr && std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0;
}

// Sets one variable; keeps it only when the environment's locale then loads
// and is UTF-8.
bool tryAssignment(const char *variable, const QByteArray &value)
{
    const bool wasSet = qEnvironmentVariableIsSet(variable);
    const QByteArray before = qgetenv(variable);
    qputenv(variable, value);
    if (environmentLocaleIsUtf8())
        return true;
    if (wasSet)
        qputenv(variable, before);
    else
        qunsetenv(variable);
    return false;
}
} // namespace

QByteArray Utf8Locale::ensure()
{
    const bool loads = std::setlocale(LC_ALL, "") != nullptr;
    if (loads && std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0)
        return {};

    // The environment's language with UTF-8 ("de_DE.ISO-8859-1" →
    // "de_DE.UTF-8"), else C.UTF-8, for the character type only: messages,
    // numbers, dates and sorting stay as the user chose. LC_ALL, when set,
    // overrides LC_CTYPE, so then LC_ALL is the one to change.
    QList<QByteArray> candidates;
    if (loads) {
        QByteArray language = std::setlocale(LC_CTYPE, nullptr);
        language.truncate(language.indexOf('@') < 0 ? language.size() : language.indexOf('@'));
        language.truncate(language.indexOf('.') < 0 ? language.size() : language.indexOf('.'));
        if (language != "C" && language != "POSIX")
            candidates.append(language + ".UTF-8");
    }
    candidates.append(QByteArrayLiteral("C.UTF-8"));
    const char *variable = qEnvironmentVariableIsEmpty("LC_ALL") ? "LC_CTYPE" : "LC_ALL";
    for (const QByteArray &candidate : candidates) {
        if (tryAssignment(variable, candidate))
            return variable + QByteArrayLiteral("=") + candidate;
    }
    // The environment names a locale this system does not have (LANG=en_US.UTF-8
    // without the locale installed): the process runs in C anyway, so
    // C.UTF-8 everywhere changes nothing but the character type.
    if (tryAssignment("LC_ALL", QByteArrayLiteral("C.UTF-8")))
        return QByteArrayLiteral("LC_ALL=C.UTF-8");
    std::setlocale(LC_ALL, "");
    return {};
}
