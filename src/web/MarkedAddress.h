#pragma once

#include <QString>

// The full address the web window loads for a button's address: the
// address with the program's marker parameter added to its query.
class MarkedAddress {
public:
    static const QString markerParameter;

    // Plain text building, nothing is re-encoded: the marker goes at the end
    // of the query ("&" when there is one, "?" otherwise), in front of any
    // fragment so that it reaches the server.
    static QString from(const QString &address);
};
