#pragma once

#include "platform/sway/SwayKeys.h"

#include <QList>
#include <QString>

#include <functional>
#include <utility>

#include <optional>

// The key bindings of the default mode in the text of a sway configuration
// (what GET_CONFIG returns): its bindsym lines, with the config's
// $variables replaced, --flags set aside, lines continued with a
// backslash joined, { } blocks opened, comments skipped, and the files its
// include lines name read where they stand. Bindings inside a mode block
// belong to that mode and are left out; bindcode lines are not read.
class SwayConfigBindings {
public:
    struct Binding {
        QString keys;    // as the config writes them, variables replaced: "Mod4+Return"
        QString command; // "exec foot"
        SwayKeys::Chord chord;
    };

    // The files an include line names (its pattern with the config's
    // variables replaced), each with its path and text, in the order sway
    // reads them. includingFile: the path of the file the line is in.
    using IncludedFiles = std::function<QList<std::pair<QString, QString>>(const QString &pattern,
                                                                             const QString &includingFile)>;

    // Without includedFiles, include lines are skipped.
    static SwayConfigBindings parse(const QString &configText, const QString &configPath = QString(),
                                    const IncludedFiles &includedFiles = {});

    // The binding on the same chord as keys (in any spelling sway takes);
    // the last one when the config binds it twice, as sway keeps that one.
    std::optional<Binding> holderOf(const QString &keys) const;
    const QList<Binding> &bindings() const { return m_bindings; }

private:
    QList<Binding> m_bindings;
};
