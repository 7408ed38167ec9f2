#include "web/MarkedAddress.h"

const QString MarkedAddress::markerParameter = QStringLiteral("scrivara-mac-version=2");

QString MarkedAddress::from(const QString &address)
{
    const qsizetype fragmentStart = address.indexOf(QLatin1Char('#'));
    const QString beforeFragment = fragmentStart < 0 ? address : address.left(fragmentStart);
    const QString fragment = fragmentStart < 0 ? QString() : address.mid(fragmentStart);
    const QLatin1Char separator(beforeFragment.contains(QLatin1Char('?')) ? '&' : '?');
    return beforeFragment + separator + markerParameter + fragment;
}
