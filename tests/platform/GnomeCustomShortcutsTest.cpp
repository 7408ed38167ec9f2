#include "DesktopTestKit.h"
#include "EventLoopWait.h"
#include "PrivateSessionBus.h"
#include "QtPrinters.h"
#include "RequiredTool.h"
#include "platform/gnome/GnomeCustomShortcutService.h"
#include "platform/gnome/GnomeCustomShortcuts.h"
#include "platform/gnome/GnomeKeybindingHolders.h"
#include "platform/gnome/GnomeShortcutConsent.h"
#include "platform/gnome/GnomeShortcutWriter.h"

#include <QDBusConnection>
#include <QHash>
#include <QTemporaryDir>

#include <gio/gio.h>
#include <gtest/gtest.h>

#include <memory>
#include <tuple>

// GNOME's real schemas (gnome-settings-daemon's, gnome-shell's, mutter's) on
// GSettings' memory backend (GSETTINGS_BACKEND=memory, set by CTest and here):
// every test starts from GNOME's defaults and touches no one's settings.
namespace {
using Kind = ShortcutState::Kind;
using Entry = GnomeCustomShortcuts::Entry;

const QString base = QStringLiteral("/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/");
const QString usersPath = base + QStringLiteral("custom0/");
const Entry usersEntry{QStringLiteral("Terminal"), QStringLiteral("kgx"), QStringLiteral("<Super><Alt>u")};

bool schemaInstalled(const char *id)
{
    GSettingsSchema *schema = g_settings_schema_source_lookup(g_settings_schema_source_get_default(), id, TRUE);
    if (schema)
        g_settings_schema_unref(schema);
    return schema != nullptr;
}

// Raw GSettings access, as GNOME Settings or the user would write.
struct Raw {
    GSettings *list = g_settings_new(GnomeCustomShortcuts::listSchemaId);
    ~Raw() { g_object_unref(list); }

    QStringList paths() const
    {
        QStringList result;
        gchar **strv = g_settings_get_strv(list, GnomeCustomShortcuts::listKey);
        for (gchar **item = strv; *item; ++item)
            result << QString::fromUtf8(*item);
        g_strfreev(strv);
        return result;
    }
    void setPaths(const QStringList &paths) const
    {
        GVariantBuilder strv;
        g_variant_builder_init(&strv, G_VARIANT_TYPE_STRING_ARRAY);
        for (const QString &path : paths)
            g_variant_builder_add(&strv, "s", path.toUtf8().constData());
        g_settings_set_value(list, GnomeCustomShortcuts::listKey, g_variant_builder_end(&strv));
    }
    static GSettings *entry(const QString &path)
    {
        return g_settings_new_with_path(GnomeCustomShortcuts::entrySchemaId, path.toUtf8().constData());
    }
    void writeEntry(const QString &path, const Entry &values) const
    {
        GSettings *settings = entry(path);
        g_settings_set_string(settings, "name", values.name.toUtf8().constData());
        g_settings_set_string(settings, "command", values.command.toUtf8().constData());
        g_settings_set_string(settings, "binding", values.binding.toUtf8().constData());
        g_object_unref(settings);
    }
    // How many of the entry's keys hold a value of their own.
    static int keysSet(const QString &path)
    {
        GSettings *settings = entry(path);
        int set = 0;
        for (const char *key : {"name", "command", "binding"}) {
            if (GVariant *value = g_settings_get_user_value(settings, key)) {
                g_variant_unref(value);
                ++set;
            }
        }
        g_object_unref(settings);
        return set;
    }
};

class GnomeCustomShortcutsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(qgetenv("GSETTINGS_BACKEND"), "memory") << "run through CTest: the test must not write real settings";
        if (!schemaInstalled(GnomeCustomShortcuts::listSchemaId) || !schemaInstalled("org.gnome.shell.keybindings"))
            VANTOREL_SKIP_OR_FAIL("GNOME's schemas are not installed (gnome-settings-daemon, gnome-shell)");
        // Back to GNOME's defaults, then the user's own shortcut.
        for (const QString &path : raw.paths()) {
            GSettings *entry = Raw::entry(path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/'));
            for (const char *key : {"name", "command", "binding"})
                g_settings_reset(entry, key);
            g_object_unref(entry);
        }
        raw.writeEntry(usersPath, usersEntry);
        raw.setPaths({usersPath});
    }

    Raw raw;
    GnomeCustomShortcuts shortcuts;
};

// Ours go after the user's paths and leave them as they were, in their
// order; a path without its slash (gsd-media-keys 43 crashes on it) is mended.
TEST_F(GnomeCustomShortcutsTest, OursComeAndGoLeavingTheUsersListAsItWasWithEveryPathsSlash)
{
    const QString broken = base + QStringLiteral("custom1");
    raw.setPaths({broken, usersPath});
    const QStringList before{broken + QLatin1Char('/'), usersPath};
    for (const char *id : {"A", "B"})
        ASSERT_TRUE(shortcuts.put(QLatin1String(id), {QStringLiteral("n"), QStringLiteral("c"), QStringLiteral("F9")}));
    EXPECT_EQ(raw.paths(), before + QStringList({base + QStringLiteral("vantorel-A/"), base + QStringLiteral("vantorel-B/")}));
    shortcuts.removeAllOurs();
    EXPECT_EQ(raw.paths(), before);
    for (const char *id : {"A", "B"})
        EXPECT_EQ(Raw::keysSet(GnomeCustomShortcuts::pathOf(QLatin1String(id))), 0) << id;
}

TEST_F(GnomeCustomShortcutsTest, ACombinationGnomeHoldsIsReportedWithItsHolderAndNotWritten)
{
    GnomeKeybindingHolders holders(shortcuts);
    GnomeShortcutWriter writer(shortcuts, holders, QStringLiteral("/usr/bin/vantorel"));
    // Written first on free keys, then moved onto the shell's: the entry goes.
    writer.writeAll({{"ID-1", "Apps", Qt::MetaModifier | Qt::Key_Y}});
    ASSERT_EQ(shortcuts.ourActionIds().size(), 1);
    const QHash<QString, ShortcutState> states = writer.writeAll({{"ID-1", "Apps", Qt::MetaModifier | Qt::Key_A},
                                                                  {"ID-2", "Mine too", Qt::MetaModifier | Qt::AltModifier | Qt::Key_U},
                                                                  {"ID-3", "Close", Qt::AltModifier | Qt::Key_F4}});
    GSettingsSchema *shell
        = g_settings_schema_source_lookup(g_settings_schema_source_get_default(), "org.gnome.shell.keybindings", TRUE);
    GSettingsSchemaKey *key = g_settings_schema_get_key(shell, "toggle-application-view");
    const QString summary = QString::fromUtf8(g_settings_schema_key_get_summary(key));
    g_settings_schema_key_unref(key);
    g_settings_schema_unref(shell);

    EXPECT_EQ(states.value("ID-1"), (ShortcutState{Kind::TakenElsewhere, {}, QStringLiteral("Super+A is GNOME's ") + summary}));
    EXPECT_EQ(states.value("ID-2"), (ShortcutState{Kind::TakenElsewhere, {},
                                                   "Super+Alt+U is the custom shortcut “Terminal” in GNOME's keyboard settings"}));
    EXPECT_EQ(states.value("ID-3").kind, Kind::TakenElsewhere); // the window manager's
    EXPECT_TRUE(states.value("ID-3").detail.startsWith(QStringLiteral("Alt+F4 is GNOME's ")));
    EXPECT_EQ(raw.paths(), QStringList{usersPath});
}

TEST(GnomeShortcutWriterTest, QuotesTheCommandAsADesktopEntryExecLine)
{
    // The program, the action's id, the command.
    const std::tuple<const char *, const char *, const char *> cases[] = {
        {"/usr/bin/vantorel", "0A-1", "/usr/bin/vantorel --activate 0A-1"},
        {"/home/me/My Build/vantorel", "0A", "\"/home/me/My Build/vantorel\" --activate 0A"},
        {"/opt/$x \"q\" `b` \\/100%", "0A", "\"/opt/\\$x \\\"q\\\" \\`b\\` \\\\/100%%\" --activate 0A"},
        {"/opt/100%/v", "0A", "/opt/100%%/v --activate 0A"}};
    for (const auto &[program, id, command] : cases)
        EXPECT_EQ(GnomeShortcutWriter::commandFor(QLatin1String(program), QLatin1String(id)), QLatin1String(command));
}

class GnomeCustomShortcutServiceTest : public GnomeCustomShortcutsTest {
protected:
    void SetUp() override
    {
        GnomeCustomShortcutsTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        service = std::make_unique<GnomeCustomShortcutService>(QStringLiteral("/usr/bin/vantorel"), config.path());
        QObject::connect(service.get(), &GlobalShortcutService::stateChanged,
                         [this](const QString &id, const ShortcutState &state) { states.insert(id, state); });
        QObject::connect(service.get(), &GlobalShortcutService::consentChanged,
                         [this](bool given) { consents.append(given); });
    }

    QTemporaryDir config;
    std::unique_ptr<GnomeCustomShortcutService> service;
    QHash<QString, ShortcutState> states;
    QList<bool> consents;
};

TEST_F(GnomeCustomShortcutServiceTest, WritesNothingBeforeTheUserAgrees)
{
    EXPECT_FALSE(service->hasConsent());
    EXPECT_EQ(service->consentRequest(), QStringLiteral("Add Vantorel's shortcuts to GNOME's keyboard settings"));
    service->bind({{"ID-1", "Mark", Qt::MetaModifier | Qt::Key_Y}});
    EXPECT_EQ(states.value("ID-1").kind, Kind::Pending);
    EXPECT_TRUE(states.value("ID-1").detail.contains(service->consentRequest()));
    EXPECT_EQ(service->probe(Qt::MetaModifier | Qt::Key_Y).kind, Kind::Pending);
    EXPECT_EQ(raw.paths(), QStringList{usersPath});

    service->setConsent(true);
    EXPECT_EQ(consents, QList<bool>{true});
    EXPECT_EQ(states.value("ID-1"), (ShortcutState{Kind::Live, QStringLiteral("Super+Y"), {}}));
    EXPECT_EQ(raw.paths(), QStringList({usersPath, GnomeCustomShortcuts::pathOf("ID-1")}));
    EXPECT_EQ(service->probe(Qt::MetaModifier | Qt::Key_Y).kind, Kind::Live);
    EXPECT_EQ(service->probe(Qt::MetaModifier | Qt::Key_A).kind, Kind::TakenElsewhere);
    // Remembered for the next run.
    EXPECT_TRUE(GnomeShortcutConsent(config.path()).isGiven());

    service->setConsent(false);
    EXPECT_EQ(consents, QList<bool>({true, false}));
    EXPECT_EQ(raw.paths(), QStringList{usersPath});
    EXPECT_EQ(states.value("ID-1").kind, Kind::Pending);
    EXPECT_FALSE(GnomeShortcutConsent(config.path()).isGiven());
}

TEST_F(GnomeCustomShortcutServiceTest, FollowsAConsentGivenAndTakenBackByAnotherProcess)
{
    service->bind({{"ID-1", "Mark", Qt::MetaModifier | Qt::Key_Y}});
    // What `vantorel --add-desktop-shortcuts` does: the consent, then the list.
    ASSERT_TRUE(GnomeShortcutConsent(config.path()).set(true));
    GnomeCustomShortcuts other;
    ASSERT_TRUE(other.put("ID-1", {"Vantorel: Mark", "c", "<Super>y"}));
    EXPECT_TRUE(runEventLoopUntil([&] { return !consents.isEmpty(); }));
    EXPECT_EQ(consents, QList<bool>{true});
    EXPECT_TRUE(service->hasConsent());
    EXPECT_EQ(states.value("ID-1").kind, Kind::Live);
    EXPECT_EQ(shortcuts.entryAt(GnomeCustomShortcuts::pathOf("ID-1"))->command, "/usr/bin/vantorel --activate ID-1");

    // And `--remove-desktop-shortcuts`.
    ASSERT_TRUE(GnomeShortcutConsent(config.path()).set(false));
    other.removeAllOurs();
    EXPECT_TRUE(runEventLoopUntil([&] { return consents.size() == 2; }));
    EXPECT_FALSE(service->hasConsent());
    EXPECT_EQ(states.value("ID-1").kind, Kind::Pending);
    EXPECT_EQ(raw.paths(), QStringList{usersPath});
}

TEST_F(GnomeCustomShortcutServiceTest, FollowsAConsentTakenBackWhereNoEntryWasWritten)
{
    // On a combination GNOME holds: no entry, so taking the consent back
    // changes no list.
    service->bind({{"ID-1", "Apps", Qt::MetaModifier | Qt::Key_A}});
    service->setConsent(true);
    EXPECT_EQ(states.value("ID-1").kind, Kind::TakenElsewhere);
    ASSERT_TRUE(GnomeShortcutConsent(config.path()).set(false));
    EXPECT_TRUE(runEventLoopUntil([&] { return consents.size() == 2; }));
    EXPECT_EQ(consents, QList<bool>({true, false}));
    EXPECT_EQ(states.value("ID-1").kind, Kind::Pending);
}

// GNOME's settings daemon runs the custom shortcuts: while it is not on the
// bus they cannot work, and the window says why.
TEST_F(GnomeCustomShortcutServiceTest, WithoutGnomesSettingsDaemonTheShortcutsCannotWork)
{
    const PrivateSessionBus bus;
    ASSERT_TRUE(bus.isRunning()) << bus.error().toStdString();
    EXPECT_EQ(service->serviceProblem(),
              QStringLiteral("GNOME's settings daemon (gsd-media-keys), which runs custom shortcuts, is not running."));
    QDBusConnection daemon(bus.connect(QStringLiteral("media-keys")));
    ASSERT_TRUE(daemon.registerService(QStringLiteral("org.gnome.SettingsDaemon.MediaKeys")));
    EXPECT_EQ(service->serviceProblem(), QString());
    QDBusConnection::disconnectFromBus(QStringLiteral("media-keys"));
}

// GNOME Settings' keyboard page, where GNOME Settings is installed.
TEST_F(GnomeCustomShortcutServiceTest, OpensGnomeSettingsKeyboardPageWhereItIsInstalled)
{
    const QByteArray path = qgetenv("PATH");
    QTemporaryDir bin;
    qputenv("PATH", QFile::encodeName(bin.path()));
    EXPECT_FALSE(service->hasDesktopSettings());

    const QString opened = bin.filePath(QStringLiteral("opened"));
    ASSERT_TRUE(writeFile(bin.filePath(QStringLiteral("gnome-control-center")),
                          "#!/bin/sh\necho \"$@\" > '" + QFile::encodeName(opened) + "'\n", true));
    EXPECT_TRUE(service->hasDesktopSettings());
    service->openDesktopSettings();
    qputenv("PATH", path);
    EXPECT_TRUE(runEventLoopUntil([&] { return readFile(opened) == "keyboard\n"; }));
}
} // namespace
