#include "platform/gnome/GnomeCustomShortcutService.h"

#include "model/Log.h"
#include "platform/gnome/GnomeAccelerator.h"
#include "platform/gnome/GnomeCustomShortcuts.h"
#include "platform/gnome/GnomeKeybindingHolders.h"
#include "platform/gnome/GnomeShortcutWriter.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QFileSystemWatcher>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

namespace {
const QString settingsProgram = QStringLiteral("gnome-control-center");
}

GnomeCustomShortcutService::GnomeCustomShortcutService(QString programPath, const QString &configDirectory,
                                                       QObject *parent)
    : GlobalShortcutService(parent), m_programPath(std::move(programPath)), m_consent(configDirectory),
      m_shortcuts(std::make_unique<GnomeCustomShortcuts>()),
      m_holders(std::make_unique<GnomeKeybindingHolders>(*m_shortcuts)), m_consentGiven(m_consent.isGiven())
{
    if (!m_shortcuts->isAvailable()) {
        Log::line(QStringLiteral("❌ GNOME: ") + m_shortcuts->why());
        return;
    }
    // Queued: GSettings may report the program's own writes in the middle
    // of them.
    m_shortcuts->watchList([this] { QTimer::singleShot(0, this, &GnomeCustomShortcutService::followConsent); });
    // A consent taken back where no entry was there to remove changes no
    // list: the settings file's folder tells (QSettings saves by renaming).
    if (QDir().mkpath(m_consent.folder())) {
        auto *watcher = new QFileSystemWatcher({m_consent.folder()}, this);
        connect(watcher, &QFileSystemWatcher::directoryChanged, this, &GnomeCustomShortcutService::followConsent);
    }
}

GnomeCustomShortcutService::~GnomeCustomShortcutService()
{
    // The writes are the desktop's to keep: a press starts the program.
    m_shortcuts->flush();
}

QString GnomeCustomShortcutService::consentRequestText()
{
    return QStringLiteral("Add Vantorel's shortcuts to GNOME's keyboard settings");
}

QString GnomeCustomShortcutService::consentWithdrawalText()
{
    return QStringLiteral("Remove Vantorel's shortcuts from GNOME's keyboard settings");
}

QString GnomeCustomShortcutService::consentRequest() const
{
    return consentRequestText();
}

QString GnomeCustomShortcutService::consentWithdrawal() const
{
    return consentWithdrawalText();
}

QString GnomeCustomShortcutService::serviceProblem() const
{
    if (!m_shortcuts->isAvailable())
        return m_shortcuts->why();
    const QDBusConnectionInterface *bus = QDBusConnection::sessionBus().interface();
    if (!bus || !bus->isServiceRegistered(QStringLiteral("org.gnome.SettingsDaemon.MediaKeys")).value())
        return QStringLiteral("GNOME's settings daemon (gsd-media-keys), which runs custom shortcuts, is not running.");
    return {};
}

void GnomeCustomShortcutService::bind(const QList<ShortcutRequest> &requests)
{
    m_requests = requests;
    // Maybe answered elsewhere meanwhile, unnoticed so far.
    const bool given = m_consent.isGiven();
    const bool changed = given != m_consentGiven;
    m_consentGiven = given;
    writeOrWait();
    if (changed)
        Q_EMIT consentChanged(given);
}

ShortcutState GnomeCustomShortcutService::waitingForConsent() const
{
    return {ShortcutState::Kind::Pending, {},
            QStringLiteral("Waits for your consent: “%1” in the Configuration window").arg(consentRequestText())};
}

void GnomeCustomShortcutService::writeOrWait()
{
    if (!m_shortcuts->isAvailable()) {
        for (const ShortcutRequest &request : std::as_const(m_requests))
            Q_EMIT stateChanged(request.actionId, {ShortcutState::Kind::NoService, {}, m_shortcuts->why()});
        return;
    }
    if (!m_consentGiven) {
        if (!m_saidWaiting && !m_requests.isEmpty()) {
            Log::line(QStringLiteral("⏳ GNOME: the shortcuts wait for your consent: “%1” in the Configuration "
                                     "window, or vantorel --add-desktop-shortcuts")
                          .arg(consentRequestText()));
            m_saidWaiting = true;
        }
        for (const ShortcutRequest &request : std::as_const(m_requests))
            Q_EMIT stateChanged(request.actionId, waitingForConsent());
        return;
    }
    m_saidWaiting = false;
    GnomeShortcutWriter writer(*m_shortcuts, *m_holders, m_programPath);
    const QHash<QString, ShortcutState> states = writer.writeAll(m_requests);
    for (const ShortcutRequest &request : std::as_const(m_requests))
        Q_EMIT stateChanged(request.actionId, states.value(request.actionId));
}

void GnomeCustomShortcutService::setConsent(bool given)
{
    if (!m_shortcuts->isAvailable() || !m_consent.set(given))
        return;
    if (!given) {
        m_shortcuts->removeAllOurs();
        Log::line(QStringLiteral("🗑️ GNOME: removed Vantorel's shortcuts from GNOME's keyboard settings"));
    }
    const bool changed = given != m_consentGiven;
    m_consentGiven = given;
    writeOrWait();
    if (changed)
        Q_EMIT consentChanged(given);
}

void GnomeCustomShortcutService::followConsent()
{
    const bool given = m_consent.isGiven();
    if (given == m_consentGiven)
        return;
    Log::line(given ? QStringLiteral("GNOME: consent given from another process")
                    : QStringLiteral("GNOME: consent taken back from another process"));
    m_consentGiven = given;
    if (!given)
        m_shortcuts->removeAllOurs();
    writeOrWait();
    Q_EMIT consentChanged(given);
}

ShortcutState GnomeCustomShortcutService::probe(QKeyCombination trigger)
{
    if (!m_shortcuts->isAvailable())
        return {ShortcutState::Kind::NoService, {}, m_shortcuts->why()};
    if (GnomeAccelerator::fromCombination(trigger).isEmpty())
        return {ShortcutState::Kind::KeyUnavailable, {}, QStringLiteral("GNOME has no name for this key")};
    if (const std::optional<QString> holder = m_holders->holderOf(trigger))
        return {ShortcutState::Kind::TakenElsewhere, {}, *holder};
    if (!m_consentGiven)
        return waitingForConsent();
    return {ShortcutState::Kind::Live, {}, {}};
}

bool GnomeCustomShortcutService::hasDesktopSettings() const
{
    return !QStandardPaths::findExecutable(settingsProgram).isEmpty();
}

void GnomeCustomShortcutService::openDesktopSettings()
{
    if (!QProcess::startDetached(settingsProgram, {QStringLiteral("keyboard")}))
        Log::line(QStringLiteral("❌ GNOME: cannot start %1").arg(settingsProgram));
}
