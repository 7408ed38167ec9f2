// What Vantorel writes to sway and reads from it: keys, command lines,
// the configuration's bindings and the IPC framing.
#include "DesktopTestKit.h"
#include "platform/sway/SwayCommand.h"
#include "platform/sway/SwayConfigBindings.h"
#include "platform/sway/SwayIncludedFiles.h"
#include "platform/sway/SwayIpcFrame.h"
#include "platform/sway/SwayKeys.h"

#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {
struct KeysCase {
    QKeyCombination combination;
    const char *keys;
};

TEST(SwayKeysTest, WritesEachCombinationInSwaysSpelling)
{
    const KeysCase cases[] = {
        {Qt::MetaModifier | Qt::AltModifier | Qt::Key_B, "Mod4+Mod1+b"},
        {Qt::MetaModifier | Qt::Key_Return, "Mod4+Return"},
        {Qt::AltModifier | Qt::Key_Space, "Mod1+space"},
        {Qt::MetaModifier | Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier | Qt::Key_1,
         "Mod4+Ctrl+Mod1+Shift+1"},
        {Qt::MetaModifier | Qt::Key_Minus, "Mod4+minus"},
        {QKeyCombination(Qt::Key_F12), "F12"},
        {Qt::MetaModifier | Qt::Key_VolumeUp, ""}, // no keysym in Vantorel's key vocabulary
    };
    for (const KeysCase &test : cases)
        EXPECT_EQ(SwayKeys::fromCombination(test.combination), QString::fromLatin1(test.keys)) << test.keys;
}

TEST(SwayKeysTest, EverySpellingSwayTakesForAChordIsOneChord)
{
    const std::pair<const char *, const char *> same[] = {
        {"Mod4+Mod1+b", "Super+Alt+B"}, {"Mod4+b", "b+mod4"},         {"Ctrl+x", "Control+x"},
        {"Mod1+Return", "Alt+return"},  {"Shift+Mod4+a", "Mod4+Shift+A"},
    };
    for (const auto &[a, b] : same) {
        ASSERT_TRUE(SwayKeys::chordOf(QString::fromLatin1(a))) << a;
        EXPECT_EQ(SwayKeys::chordOf(QString::fromLatin1(a)), SwayKeys::chordOf(QString::fromLatin1(b))) << a << " / " << b;
    }
    const std::pair<const char *, const char *> different[] = {
        {"Mod4+a", "Mod4+Shift+a"}, {"Mod4+a", "Mod1+a"}, {"Mod4+a", "Mod4+b"}, {"Ctrl+a", "a"}, {"Mod4+a", "Mod5+a"},
    };
    for (const auto &[a, b] : different)
        EXPECT_NE(SwayKeys::chordOf(QString::fromLatin1(a)), SwayKeys::chordOf(QString::fromLatin1(b))) << a << " / " << b;
    for (const char *noChord : {"", "Mod4+", "Mod4+Shift"})
        EXPECT_FALSE(SwayKeys::chordOf(QString::fromLatin1(noChord))) << noChord;
}

TEST(SwayCommandTest, BindsTheKeysToThisProgramsActivateCommand)
{
    EXPECT_EQ(SwayCommand::bind(QStringLiteral("Mod4+Mod1+b"), QStringLiteral("/usr/bin/vantorel"),
                                QStringLiteral("6F1C2D3E-0000-4000-8000-00000000000A")),
              QStringLiteral(R"(bindsym --no-warn Mod4+Mod1+b exec "/usr/bin/vantorel --activate '6F1C2D3E-0000-4000-8000-00000000000A'")"));
    EXPECT_EQ(SwayCommand::bind(QStringLiteral("Ctrl+F5"), QStringLiteral("/opt/my apps/vantorel"), QStringLiteral("My Launcher")),
              QStringLiteral(R"(bindsym --no-warn Ctrl+F5 exec "'/opt/my apps/vantorel' --activate 'My Launcher'")"));
    EXPECT_EQ(SwayCommand::bind(QStringLiteral("Mod4+a"), QStringLiteral("/usr/bin/vantorel"), QStringLiteral(R"(it's "q" $mod \)")),
              QStringLiteral(R"(bindsym --no-warn Mod4+a exec "/usr/bin/vantorel --activate 'it'\''s '\"'q'\"' '\$'mod '\\''")"));
    EXPECT_EQ(SwayCommand::unbind(QStringLiteral("Mod4+Mod1+b")), QStringLiteral("unbindsym Mod4+Mod1+b"));
}

TEST(SwayCommandTest, RefusesWhatNoCommandLineCarries)
{
    EXPECT_FALSE(SwayCommand::bind(QStringLiteral("Mod4+a"), QStringLiteral("/usr/bin/vantorel"), QStringLiteral("a\nb")));
    EXPECT_FALSE(SwayCommand::bind(QStringLiteral("Mod4+a"), QStringLiteral("/tmp/x\r/vantorel"), QStringLiteral("a")));
    EXPECT_FALSE(SwayCommand::bind(QStringLiteral("Mod4+a"), QStringLiteral("/usr/bin/vantorel"), QStringLiteral("a\tb")));
}

// sway takes the command's outer double quotes off and hands the rest to
// `sh -c` as it is; inside, it ends the string at a bare double quote and
// replaces $variables. A word passes when neither can happen and the shell
// reads it back as the text it came from.
TEST(SwayCommandTest, EveryTextArrivesAsOneWordThroughSwayAndTheShell)
{
    const QString texts[] = {
        QStringLiteral("My Launcher"), QStringLiteral("it's"),        QStringLiteral(R"(say "hi")"),
        QStringLiteral(R"(back\slash)"), QStringLiteral("$mod and $HOME"), QStringLiteral("a;b,c"),
        QStringLiteral("`id` $(id)"),    QStringLiteral("#hash"),          QStringLiteral("* ?"),
        QStringLiteral(R"(\"'$)"),       QStringLiteral("Ünïcødé ✓"),      QStringLiteral(""),
        QStringLiteral("/usr/bin/vantorel"),
    };
    for (const bool always : {true, false}) {
        for (const QString &text : texts) {
            const QString word = SwayCommand::shellWord(text, always);
            for (qsizetype at = 0; at < word.size(); ++at) {
                if (word.at(at) == QLatin1Char('"') || word.at(at) == QLatin1Char('$')) {
                    EXPECT_TRUE(at > 0 && word.at(at - 1) == QLatin1Char('\\')) << word.toStdString();
                }
            }
            QProcess shell;
            shell.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QStringLiteral("printf '%s|' ") + word});
            ASSERT_TRUE(shell.waitForFinished());
            EXPECT_EQ(QString::fromUtf8(shell.readAllStandardOutput()), text + QLatin1Char('|')) << word.toStdString();
        }
    }
    EXPECT_EQ(SwayCommand::shellWord(QStringLiteral("/usr/bin/vantorel")), QStringLiteral("/usr/bin/vantorel"));
    EXPECT_EQ(SwayCommand::shellWord(QStringLiteral("/usr/bin/vantorel"), true), QStringLiteral("'/usr/bin/vantorel'"));
}

struct ConfigCase {
    const char *what;
    const char *config;
    const char *keys;    // asked for, in Vantorel's spelling
    const char *holder;  // the config's keys, or nullptr when free
    const char *command;
};

TEST(SwayConfigBindingsTest, FindsWhatTheConfigBindsOnAChord)
{
    const ConfigCase cases[] = {
        {"a variable", "set $mod Mod4\nbindsym $mod+Return exec foot\n", "Mod4+Return", "Mod4+Return", "exec foot"},
        {"flags before the keys", "bindsym --release --no-warn Mod1+Shift+q kill", "Mod1+Shift+q", "Mod1+Shift+q", "kill"},
        {"a flag with a value", "bindsym --to-code --input-device=1:1:AT_Keyboard Mod4+d exec menu", "Mod4+d",
         "Mod4+d", "exec menu"},
        {"a comment", "# bindsym Mod4+x exec nothing\n  # bindsym Mod4+x exec indented", "Mod4+x", nullptr, nullptr},
        {"another mode", "mode \"resize\" {\n    bindsym Mod4+h resize shrink width 10px\n}\n", "Mod4+h", nullptr, nullptr},
        {"after a mode block", "mode \"resize\" {\n bindsym Mod4+h resize shrink\n}\nbindsym Mod4+h focus left", "Mod4+h",
         "Mod4+h", "focus left"},
        {"a bindsym block", "set $mod Mod4\nbindsym --to-code {\n    $mod+1 workspace number 1\n    $mod+2 workspace number 2\n}",
         "Mod4+2", "Mod4+2", "workspace number 2"},
        {"a continued line", "bindsym Mod4+e \\\n    exec editor", "Mod4+e", "Mod4+e", "exec editor"},
        {"the longest variable name", "set $m Mod1\nset $mod Mod4\nbindsym $mod+t exec term", "Mod4+t", "Mod4+t",
         "exec term"},
        {"not the shorter one", "set $m Mod1\nset $mod Mod4\nbindsym $mod+t exec term", "Mod1+t", nullptr, nullptr},
        {"a variable set later", "bindsym $mod+z exec early\nset $mod Mod4", "Mod4+z", nullptr, nullptr},
        {"a variable made of variables", "set $super Mod4\nset $hyper $super+Mod1\nbindsym $hyper+v exec vim", "Mod4+Mod1+v",
         "Mod4+Mod1+v", "exec vim"},
        {"other spellings", "bindsym Super+Alt+B exec b", "Mod4+Mod1+b", "Super+Alt+B", "exec b"},
        {"the last of two", "bindsym Mod4+c exec first\nbindsym Mod4+c exec second", "Mod4+c", "Mod4+c", "exec second"},
        {"bindcode", "bindcode Mod4+38 exec a", "Mod4+a", nullptr, nullptr},
        {"more modifiers", "bindsym Mod4+Shift+a exec a", "Mod4+a", nullptr, nullptr},
        {"Windows line ends", "set $mod Mod4\r\nbindsym $mod+w exec w\r\n", "Mod4+w", "Mod4+w", "exec w"},
    };
    for (const ConfigCase &test : cases) {
        const SwayConfigBindings config = SwayConfigBindings::parse(QString::fromUtf8(test.config));
        const std::optional<SwayConfigBindings::Binding> holder = config.holderOf(QString::fromLatin1(test.keys));
        ASSERT_EQ(holder.has_value(), test.holder != nullptr) << test.what;
        if (!holder)
            continue;
        EXPECT_EQ(holder->keys, QString::fromLatin1(test.holder)) << test.what;
        EXPECT_EQ(holder->command, QString::fromLatin1(test.command)) << test.what;
    }
}

TEST(SwayConfigBindingsTest, ReadsIncludedFilesWhereTheIncludeLineStands)
{
    QStringList asked;
    const SwayConfigBindings::IncludedFiles included = [&](const QString &pattern, const QString &includingFile) {
        asked << pattern + QStringLiteral(" from ") + includingFile;
        QList<std::pair<QString, QString>> files;
        if (pattern == QLatin1String("/etc/sway/Mod4.d/*")) {
            files.append({QStringLiteral("/etc/sway/Mod4.d/10-keys"),
                          QStringLiteral("bindsym $mod+k exec keys\nset $term foot\ninclude nested")});
            files.append({QStringLiteral("/etc/sway/Mod4.d/20-loop"), QStringLiteral("include /etc/sway/Mod4.d/20-loop")});
        } else if (pattern == QLatin1String("nested")) {
            files.append({QStringLiteral("/etc/sway/Mod4.d/nested"), QStringLiteral("bindsym Ctrl+n exec nested")});
        } else if (pattern == QLatin1String("/etc/sway/Mod4.d/20-loop")) {
            files.append({pattern, QStringLiteral("include /etc/sway/Mod4.d/20-loop")});
        }
        return files;
    };
    const SwayConfigBindings config = SwayConfigBindings::parse(
        QStringLiteral("set $mod Mod4\ninclude /etc/sway/$mod.d/*\nbindsym $mod+Return exec $term\n"),
        QStringLiteral("/home/me/.config/sway/config"), included);
    ASSERT_TRUE(config.holderOf(QStringLiteral("Mod4+k")));
    EXPECT_EQ(config.holderOf(QStringLiteral("Mod4+k"))->command, QStringLiteral("exec keys"));
    ASSERT_TRUE(config.holderOf(QStringLiteral("Ctrl+n"))) << "an include inside an included file";
    ASSERT_TRUE(config.holderOf(QStringLiteral("Mod4+Return")));
    EXPECT_EQ(config.holderOf(QStringLiteral("Mod4+Return"))->command, QStringLiteral("exec foot"))
        << "a variable an included file sets holds after it";
    ASSERT_GE(asked.size(), 3) << "a file that includes itself ends";
    EXPECT_LE(asked.size(), 20);
    EXPECT_EQ(asked.value(0), QStringLiteral("/etc/sway/Mod4.d/* from /home/me/.config/sway/config"));
    EXPECT_EQ(asked.value(1), QStringLiteral("nested from /etc/sway/Mod4.d/10-keys"));

    EXPECT_FALSE(SwayConfigBindings::parse(QStringLiteral("include /etc/sway/Mod4.d/*")).holderOf(QStringLiteral("Mod4+k")))
        << "without a reader, include lines are skipped";
}

TEST(SwayIncludedFilesTest, FindsTheFilesAPatternNamesInNameOrder)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const auto write = [&](const QString &name, const QByteArray &text) { return writeFile(dir.filePath(name), text); };
    ASSERT_TRUE(write(QStringLiteral("config.d/20-b.conf"), "bindsym Mod4+b exec b"));
    ASSERT_TRUE(write(QStringLiteral("config.d/10-a.conf"), "bindsym Mod4+a exec a"));
    ASSERT_TRUE(write(QStringLiteral("config.d/notes.txt"), "not included"));
    ASSERT_TRUE(write(QStringLiteral("single"), "bindsym Mod4+s exec s"));
    const QString config = dir.filePath(QStringLiteral("config"));

    const auto files = SwayIncludedFiles::read(QStringLiteral("config.d/*.conf"), config);
    ASSERT_EQ(files.size(), 2);
    EXPECT_EQ(files[0].first, dir.filePath(QStringLiteral("config.d/10-a.conf")));
    EXPECT_EQ(files[0].second, QStringLiteral("bindsym Mod4+a exec a"));
    EXPECT_EQ(files[1].first, dir.filePath(QStringLiteral("config.d/20-b.conf")));
    ASSERT_EQ(SwayIncludedFiles::read(dir.filePath(QStringLiteral("single")), QString()).size(), 1);
    EXPECT_TRUE(SwayIncludedFiles::read(QStringLiteral("missing"), config).isEmpty());

    qputenv("VANTOREL_TEST_SWAY_DIR", QFile::encodeName(dir.path()));
    EXPECT_EQ(SwayIncludedFiles::expanded(QStringLiteral("$VANTOREL_TEST_SWAY_DIR/x"), QString()),
              dir.filePath(QStringLiteral("x")));
    EXPECT_EQ(SwayIncludedFiles::expanded(QStringLiteral("\"${VANTOREL_TEST_SWAY_DIR}/y z\""), QString()),
              dir.filePath(QStringLiteral("y z")));
    qunsetenv("VANTOREL_TEST_SWAY_DIR");
    EXPECT_EQ(SwayIncludedFiles::expanded(QStringLiteral("~/.config/sway/more"), QString()),
              QDir::homePath() + QStringLiteral("/.config/sway/more"));
    EXPECT_EQ(SwayIncludedFiles::expanded(QStringLiteral("../shared/keys"), QStringLiteral("/home/me/.config/sway/config")),
              QStringLiteral("/home/me/.config/shared/keys"));
}

TEST(SwayIpcFrameTest, FramesAndTakesMessagesWholeAndInOrder)
{
    const QByteArray first = SwayIpcFrame::encode(SwayIpcFrame::runCommand, "unbindsym Mod4+a");
    ASSERT_EQ(first.size(), 14 + 16);
    EXPECT_TRUE(first.startsWith("i3-ipc"));
    const QByteArray second = SwayIpcFrame::encode(SwayIpcFrame::workspaceEvent, R"({"change":"reload"})");

    QByteArray buffer = (first + second).left(first.size() + 5);
    bool broken = true;
    std::optional<SwayIpcFrame> frame = SwayIpcFrame::take(buffer, broken);
    ASSERT_TRUE(frame);
    EXPECT_FALSE(broken);
    EXPECT_EQ(frame->type, SwayIpcFrame::runCommand);
    EXPECT_EQ(frame->payload, "unbindsym Mod4+a");
    EXPECT_FALSE(SwayIpcFrame::take(buffer, broken)) << "half a header";
    EXPECT_FALSE(broken);
    buffer += second.mid(5, 12);
    EXPECT_FALSE(SwayIpcFrame::take(buffer, broken)) << "half a payload";
    buffer += second.mid(17);
    frame = SwayIpcFrame::take(buffer, broken);
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->type, SwayIpcFrame::workspaceEvent);
    EXPECT_EQ(frame->payload, R"({"change":"reload"})");
    EXPECT_TRUE(buffer.isEmpty());

    QByteArray garbage("i3-ipX");
    EXPECT_FALSE(SwayIpcFrame::take(garbage, broken));
    EXPECT_TRUE(broken);
    QByteArray startOfGarbage("x");
    SwayIpcFrame::take(startOfGarbage, broken);
    EXPECT_TRUE(broken);
}
} // namespace
