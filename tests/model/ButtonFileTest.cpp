#include "ButtonCodec.h"
#include "ButtonFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

namespace {
QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

LaunchButtonList someButtons(int count)
{
    LaunchButtonList buttons;
    for (int i = 0; i < count; ++i)
        buttons.append(LaunchButton(QUuid::createUuid(), QStringLiteral("Button %1").arg(i),
                                    QStringLiteral("⌘ + ⌥ + F"), QUrl(QStringLiteral("https://example.org/%1").arg(i))));
    return buttons;
}

class ButtonFileOnDisk : public ::testing::Test {
protected:
    QTemporaryDir home;
    QString path() const { return home.filePath(QStringLiteral(".vantorel")); }
};

TEST_F(ButtonFileOnDisk, SavesAndLoadsTheSameButtons)
{
    ButtonFile file(path());
    EXPECT_FALSE(file.exists());
    const LaunchButtonList buttons = someButtons(3);
    const ButtonFile::SaveResult saved = file.save(buttons);
    EXPECT_FALSE(saved.error);
    EXPECT_TRUE(file.exists());
    EXPECT_EQ(readAll(path()), ButtonCodec::encode(buttons));

    auto loaded = ButtonFile(path()).load();
    ASSERT_TRUE(std::holds_alternative<LaunchButtonList>(loaded));
    const LaunchButtonList back = std::get<LaunchButtonList>(loaded);
    ASSERT_EQ(back.size(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(back[i].id(), buttons[i].id());
        EXPECT_EQ(back[i].name, buttons[i].name);
    }
}

TEST_F(ButtonFileOnDisk, ASaveThatFailsMidwayLeavesTheOldFileIntact)
{
    const QByteArray old = ButtonCodec::encode(someButtons(1));
    writeAll(path(), old);

    // A file-size limit makes the write fail partway, as a full disk would.
    struct rlimit saved {};
    getrlimit(RLIMIT_FSIZE, &saved);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 4096;
    setrlimit(RLIMIT_FSIZE, &small);
    const ButtonFile::SaveResult result = ButtonFile(path()).save(someButtons(1000));
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    ASSERT_TRUE(result.error);
    EXPECT_EQ(readAll(path()), old);
    EXPECT_EQ(QDir(home.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral(".vantorel")})
        << "no temporary file is left behind";
}

TEST_F(ButtonFileOnDisk, WritesThroughASymbolicLinkAndKeepsIt)
{
    ASSERT_TRUE(QDir(home.path()).mkdir(QStringLiteral("dotfiles")));
    const QString target = home.filePath(QStringLiteral("dotfiles/vantorel.json"));
    writeAll(target, "[]");
    ASSERT_TRUE(QFile::link(target, path()));

    ButtonFile file(path());
    ASSERT_TRUE(std::holds_alternative<LaunchButtonList>(file.load()));
    const LaunchButtonList buttons = someButtons(2);
    EXPECT_FALSE(file.save(buttons).error);

    EXPECT_TRUE(QFileInfo(path()).isSymLink());
    EXPECT_EQ(QFileInfo(path()).symLinkTarget(), target);
    EXPECT_EQ(readAll(target), ButtonCodec::encode(buttons));
}

TEST_F(ButtonFileOnDisk, AnUnreadableFileIsMovedAsideBeforeItIsReplaced)
{
    writeAll(path(), "{ this is not a button list");
    ButtonFile file(path());
    EXPECT_TRUE(std::holds_alternative<QString>(file.load()));
    EXPECT_EQ(readAll(path()), QByteArray("{ this is not a button list")) << "loading changes nothing";

    const ButtonFile::SaveResult first = file.save(someButtons(1));
    EXPECT_FALSE(first.error);
    ASSERT_TRUE(first.movedAsideTo);
    EXPECT_TRUE(first.movedAsideTo->startsWith(path() + QStringLiteral(".unreadable-")));
    EXPECT_EQ(readAll(*first.movedAsideTo), QByteArray("{ this is not a button list"));
    EXPECT_TRUE(std::holds_alternative<LaunchButtonList>(ButtonFile(path()).load()));

    const ButtonFile::SaveResult second = file.save(someButtons(2));
    EXPECT_FALSE(second.movedAsideTo) << "only the first save moves the old file";
}

TEST_F(ButtonFileOnDisk, AnUnreadableFileBehindALinkIsMovedAsideAndTheLinkKept)
{
    const QString target = home.filePath(QStringLiteral("real.json"));
    writeAll(target, "[1]");
    ASSERT_TRUE(QFile::link(target, path()));
    ButtonFile file(path());
    EXPECT_TRUE(std::holds_alternative<QString>(file.load()));
    const ButtonFile::SaveResult result = file.save({});
    ASSERT_TRUE(result.movedAsideTo);
    EXPECT_EQ(readAll(*result.movedAsideTo), QByteArray("[1]"));
    EXPECT_TRUE(QFileInfo(path()).isSymLink());
    EXPECT_EQ(readAll(target), QByteArray("[]"));
}

TEST_F(ButtonFileOnDisk, ADirectoryAtThePathIsNeitherReadNorReplaced)
{
    ASSERT_TRUE(QDir(home.path()).mkdir(QStringLiteral(".vantorel")));
    ButtonFile file(path());
    EXPECT_TRUE(file.exists());
    EXPECT_TRUE(std::holds_alternative<QString>(file.load()));
    const ButtonFile::SaveResult result = file.save(someButtons(1));
    EXPECT_TRUE(result.error);
    EXPECT_FALSE(result.movedAsideTo);
    EXPECT_TRUE(QFileInfo(path()).isDir());
}

} // namespace
