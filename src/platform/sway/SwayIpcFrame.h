#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <optional>

// One message of sway's IPC (the i3 framing): "i3-ipc", the payload's
// length and the message type as 32-bit numbers in the machine's byte
// order, then the payload (JSON, or a command's text).
struct SwayIpcFrame {
    // Requests; a reply carries its request's type.
    static constexpr quint32 runCommand = 0;
    static constexpr quint32 subscribe = 2;
    static constexpr quint32 getVersion = 7;
    static constexpr quint32 getConfig = 9;
    // Events have the high bit set; the rest is the event's number.
    static constexpr quint32 eventBit = 0x80000000u;
    static constexpr quint32 workspaceEvent = eventBit | 0u;
    // sway refuses larger payloads; so do we.
    static constexpr quint32 maxPayload = 64u * 1024u * 1024u;

    quint32 type = 0;
    QByteArray payload;

    static QByteArray encode(quint32 type, const QByteArray &payload);
    // Takes the first whole message off the front of buffer; nothing while
    // the buffer holds only part of one. Sets broken (and takes nothing)
    // when the buffer does not start with a message at all.
    static std::optional<SwayIpcFrame> take(QByteArray &buffer, bool &broken);
};
