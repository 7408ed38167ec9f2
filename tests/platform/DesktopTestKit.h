#pragma once

#include "XvfbServer.h"

#include "EventLoopWait.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <xcb/xproto.h>

// Super+Alt as X modifier bits in Xvfb's modifier map.
inline constexpr uint16_t xSuperAlt = XCB_MOD_MASK_4 | XCB_MOD_MASK_1;

// Writes the file, and its folder where there is none; executable by its owner if asked.
inline bool writeFile(const QString &path, const QByteArray &bytes, bool executable = false)
{
    QFile file(path);
    if (!QDir().mkpath(QFileInfo(path).path()) || !file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return false;
    return !executable || file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
}

// The file's bytes, none where it cannot be read.
inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
