#include "web/WindowFrameStore.h"

#include "model/Log.h"
#include "web/FrameText.h"

#include <QSettings>

const QString WindowFrameStore::settingsKey = QStringLiteral("webWindowFrame");
const QRect WindowFrameStore::defaultContentRect(0, 0, 1024, 768);

WindowFrameStore::Placement WindowFrameStore::load() const
{
    const QSettings settings;
    const bool present = settings.contains(settingsKey);
    if (present) {
        const QVariant value = settings.value(settingsKey);
        const std::optional<QRect> frame = value.typeId() == QMetaType::QString
            ? FrameText::parse(value.toString())
            : std::nullopt;
        if (frame) {
            Log::line(QStringLiteral("WebWindow: Loaded frame: ") + FrameText::describe(*frame));
            return {*frame, true, false};
        }
    }
    Log::line(QStringLiteral("WebWindow: Using default frame: ") + FrameText::describe(defaultContentRect));
    return {defaultContentRect, false, !present};
}

void WindowFrameStore::save(const QRect &frame) const
{
    const QString text = FrameText::format(frame);
    QSettings settings;
    settings.setValue(settingsKey, text);
    settings.sync();
    if (settings.status() != QSettings::NoError) {
        Log::line(QStringLiteral("WebWindow: Failed to save frame"));
        return;
    }
    Log::line(QStringLiteral("WebWindow: Saved frame: ") + text);
}
