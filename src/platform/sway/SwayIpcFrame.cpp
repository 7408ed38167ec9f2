#include "platform/sway/SwayIpcFrame.h"

#include <cstring>

namespace {
constexpr char magic[] = {'i', '3', '-', 'i', 'p', 'c'};
constexpr qsizetype headerSize = qsizetype(sizeof magic) + 2 * qsizetype(sizeof(quint32));

void append(QByteArray &bytes, quint32 value)
{
    bytes.append(reinterpret_cast<const char *>(&value), sizeof value);
}

quint32 numberAt(const QByteArray &bytes, qsizetype offset)
{
    quint32 value = 0;
    std::memcpy(&value, bytes.constData() + offset, sizeof value);
    return value;
}
} // namespace

QByteArray SwayIpcFrame::encode(quint32 type, const QByteArray &payload)
{
    QByteArray bytes;
    bytes.reserve(headerSize + payload.size());
    bytes.append(magic, sizeof magic);
    append(bytes, quint32(payload.size()));
    append(bytes, type);
    bytes.append(payload);
    return bytes;
}

std::optional<SwayIpcFrame> SwayIpcFrame::take(QByteArray &buffer, bool &broken)
{
    broken = false;
    const qsizetype magicSeen = qMin(buffer.size(), qsizetype(sizeof magic));
    if (std::memcmp(buffer.constData(), magic, size_t(magicSeen)) != 0) {
        broken = true;
        return std::nullopt;
    }
    if (buffer.size() < headerSize)
        return std::nullopt;
    const quint32 length = numberAt(buffer, sizeof magic);
    if (length > maxPayload) {
        broken = true;
        return std::nullopt;
    }
    if (buffer.size() < headerSize + qsizetype(length))
        return std::nullopt;
    SwayIpcFrame frame{numberAt(buffer, sizeof magic + sizeof(quint32)), buffer.mid(headerSize, length)};
    buffer.remove(0, headerSize + length);
    return frame;
}
