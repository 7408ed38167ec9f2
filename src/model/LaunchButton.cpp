#include "model/LaunchButton.h"

LaunchButton::LaunchButton(QUuid id, QString name, QString shortcut, std::optional<QUrl> appURL)
    : name(std::move(name)), shortcut(std::move(shortcut)), m_id(id)
{
    if (appURL)
        appURLString = appURL->toString(QUrl::FullyEncoded);
}

LaunchButton LaunchButton::withTargetText(QUuid id, QString name, QString shortcut,
                                          std::optional<QString> appURLString)
{
    LaunchButton button(id, std::move(name), std::move(shortcut), std::nullopt);
    button.appURLString = std::move(appURLString);
    return button;
}
