#include "model/ButtonCodec.h"
#include "model/ButtonFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <sys/stat.h>
#include <unistd.h>
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

bool loads(const QString &path) { return std::holds_alternative<LaunchButtonList>(ButtonFile(path).load()); }

// Saves under a file-size limit, which makes writes fail partway as a full disk would.
ButtonFile::SaveResult saveWithLimit(ButtonFile &file, const LaunchButtonList &buttons, rlim_t bytes)
{
    struct rlimit saved {};
    getrlimit(RLIMIT_FSIZE, &saved);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &small);
    const ButtonFile::SaveResult result = file.save(buttons);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
    return result;
}

class ButtonFileOnDisk : public ::testing::Test {
protected:
    QTemporaryDir home;
    QString path() const { return home.filePath(QStringLiteral(".vantorel")); }
    QStringList files() const { return QDir(home.path()).entryList(QDir::Files | QDir::Hidden | QDir::System); }
    ButtonFile file{path()};
};

TEST_F(ButtonFileOnDisk, ASaveThatFailsMidwayLeavesTheOldFileIntact)
{
    const QByteArray old = ButtonCodec::encode(someButtons(1));
    // Small saves matter most: they fit in a write buffer, so their error
    // shows only when the file is closed.
    for (const int count : {40, 1000}) {
        writeAll(path(), old);
        ButtonFile file(path());
        ASSERT_TRUE(saveWithLimit(file, someButtons(count), 4096).error) << count << " buttons";
        EXPECT_EQ(readAll(path()), old) << count << " buttons";
        EXPECT_EQ(files(), QStringList{QStringLiteral(".vantorel")}) << "no temporary file is left behind";
    }
}

// A version written by someone else since the file was last read or saved
// here, and not taken in yet, is kept under another name before a save.
TEST_F(ButtonFileOnDisk, AVersionSomeoneElseWroteSinceTheLastReadIsKeptBeforeASave)
{
    writeAll(path(), ButtonCodec::encode(someButtons(1)));
    ASSERT_TRUE(std::holds_alternative<LaunchButtonList>(file.load()));
    EXPECT_FALSE(file.save(someButtons(2)).keptChangeAs) << "what it read is its to replace";
    const QByteArray theirs = ButtonCodec::encode(someButtons(3));
    writeAll(path(), theirs);
    const LaunchButtonList ours = someButtons(4);
    const ButtonFile::SaveResult result = file.save(ours);
    ASSERT_TRUE(result.keptChangeAs);
    EXPECT_EQ(readAll(*result.keptChangeAs), theirs);
    EXPECT_EQ(readAll(path()), ButtonCodec::encode(ours));
    EXPECT_FALSE(file.save(someButtons(5)).keptChangeAs) << "its own last save is no one else's";
}

TEST_F(ButtonFileOnDisk, AFailedSaveAfterAnUnreadableFileKeepsBothAndTriesAgain)
{
    const QByteArray unreadable = "[{ broken";
    writeAll(path(), unreadable);
    EXPECT_TRUE(std::holds_alternative<QString>(file.load()));
    const ButtonFile::SaveResult failed = saveWithLimit(file, someButtons(3), 16);
    ASSERT_TRUE(failed.error);
    ASSERT_TRUE(failed.movedAsideTo);
    EXPECT_TRUE(failed.movedAsideTo->startsWith(path() + QStringLiteral(".unreadable-")));
    EXPECT_EQ(readAll(path()), unreadable) << "the file stays until a complete one replaces it";

    const ButtonFile::SaveResult next = file.save(someButtons(2));
    EXPECT_FALSE(next.error);
    EXPECT_FALSE(next.movedAsideTo) << "one copy is enough";
    EXPECT_EQ(files().size(), 2);
    EXPECT_EQ(readAll(*failed.movedAsideTo), unreadable);
    EXPECT_TRUE(loads(path()));
}

TEST_F(ButtonFileOnDisk, AnUnreadableFileBehindALinkIsMovedAsideAndTheLinkKept)
{
    const QString target = home.filePath(QStringLiteral("real.json"));
    writeAll(target, "[1]");
    ASSERT_TRUE(QFile::link(target, path()));
    EXPECT_TRUE(std::holds_alternative<QString>(file.load()));
    const ButtonFile::SaveResult result = file.save({});
    ASSERT_TRUE(result.movedAsideTo);
    EXPECT_EQ(readAll(*result.movedAsideTo), QByteArray("[1]"));
    EXPECT_TRUE(QFileInfo(path()).isSymLink());
    EXPECT_EQ(readAll(target), QByteArray("[]"));
}

TEST_F(ButtonFileOnDisk, AFileOverTheSizeLimitIsNotReadAndIsKeptAside)
{
    constexpr qint64 limit = 16 * 1024 * 1024;
    QByteArray padded = ButtonCodec::encode(someButtons(1));
    padded.append(QByteArray(limit - padded.size(), ' '));
    writeAll(path(), padded);
    EXPECT_TRUE(loads(path())) << "the limit itself is allowed";

    ASSERT_TRUE(QFile::resize(path(), limit + 1));
    auto loaded = file.load();
    ASSERT_TRUE(std::holds_alternative<QString>(loaded));
    EXPECT_TRUE(std::get<QString>(loaded).contains(QStringLiteral("too large"))) << std::get<QString>(loaded).toStdString();
    const ButtonFile::SaveResult saved = file.save(someButtons(1));
    ASSERT_TRUE(saved.movedAsideTo);
    EXPECT_EQ(QFileInfo(*saved.movedAsideTo).size(), limit + 1);
}

TEST_F(ButtonFileOnDisk, ADirectoryAtThePathIsNeitherReadNorReplaced)
{
    ASSERT_TRUE(QDir(home.path()).mkdir(QStringLiteral(".vantorel")));
    EXPECT_TRUE(std::holds_alternative<QString>(file.load()));
    const ButtonFile::SaveResult result = file.save(someButtons(1));
    EXPECT_TRUE(result.error);
    EXPECT_FALSE(result.movedAsideTo);
    EXPECT_TRUE(QFileInfo(path()).isDir());
}
// A power cut right after a save finds the old file or the whole new one:
// the new file is on disk before it replaces the old one, and the directory
// (where the rename happened: the link's target's) after.
TEST_F(ButtonFileOnDisk, ASaveReachesTheDiskBeforeTheRenameAndItsDirectoryAfter)
{
    struct Sync {
        bool isDirectory = false;
        ino_t inode = 0;
        QByteArray synced;   // what the synced file holds
        QByteArray atTarget; // what the button file held at that moment
    };
    const QString elsewhere = home.filePath(QStringLiteral("synced"));
    ASSERT_TRUE(QDir().mkpath(elsewhere));
    for (const bool throughLink : {false, true}) {
        QFile::remove(path());
        const QString target = throughLink ? elsewhere + QStringLiteral("/buttons.json") : path();
        const QByteArray old = ButtonCodec::encode(someButtons(1));
        writeAll(target, old);
        ASSERT_TRUE(!throughLink || QFile::link(target, path()));

        QList<Sync> syncs;
        ButtonFile file(path(), [&](int descriptor) {
            struct stat status {};
            ::fstat(descriptor, &status);
            Sync sync{S_ISDIR(status.st_mode), status.st_ino, {}, readAll(target)};
            if (!sync.isDirectory) {
                sync.synced.resize(status.st_size);
                sync.synced.resize(::pread(descriptor, sync.synced.data(), size_t(status.st_size), 0));
            }
            syncs.append(sync);
            return ::fsync(descriptor);
        });
        const LaunchButtonList buttons = someButtons(2);
        ASSERT_FALSE(file.save(buttons).error);

        const QByteArray saved = ButtonCodec::encode(buttons);
        struct stat directory {};
        ::stat(QFile::encodeName(QFileInfo(target).path()).constData(), &directory);
        ASSERT_EQ(syncs.size(), 2) << "link: " << throughLink;
        EXPECT_FALSE(syncs[0].isDirectory);
        EXPECT_EQ(syncs[0].synced, saved) << "the file is synced whole";
        EXPECT_EQ(syncs[0].atTarget, old) << "the file is synced before it replaces the old one";
        EXPECT_TRUE(syncs[1].isDirectory);
        EXPECT_EQ(syncs[1].inode, directory.st_ino) << "the directory the file was renamed in";
        EXPECT_EQ(syncs[1].atTarget, saved) << "the directory is synced after the rename";
        EXPECT_EQ(QFileInfo(path()).isSymLink(), throughLink);
    }

    // A disk that reports its failure only when the file is synced.
    const QByteArray before = readAll(path());
    ButtonFile failing(path(), [](int) {
        errno = EIO;
        return -1;
    });
    EXPECT_TRUE(failing.save(someButtons(3)).error);
    EXPECT_EQ(readAll(path()), before);
    EXPECT_EQ(QDir(elsewhere).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("buttons.json")})
        << "no temporary file is left behind";
}
} // namespace
