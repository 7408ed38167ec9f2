#include "ButtonCodec.h"
#include "ButtonFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/mount.h>
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

// A file-size limit makes writes fail partway, as a full disk would.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        m_previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit small = m_saved;
        small.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &small);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_previousHandler);
    }

private:
    struct rlimit m_saved {};
    void (*m_previousHandler)(int) = nullptr;
};

QStringList filesIn(const QString &directory)
{
    return QDir(directory).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

TEST_F(ButtonFileOnDisk, ASaveThatFailsMidwayLeavesTheOldFileIntact)
{
    const QByteArray old = ButtonCodec::encode(someButtons(1));
    // Small saves matter most: they fit in a write buffer, so their error
    // shows only when the file is closed.
    for (const int count : {40, 1000}) {
        writeAll(path(), old);
        std::optional<QString> error;
        {
            FileSizeLimit limit(4096);
            error = ButtonFile(path()).save(someButtons(count)).error;
        }
        ASSERT_TRUE(error) << count << " buttons";
        EXPECT_EQ(readAll(path()), old) << count << " buttons";
        EXPECT_EQ(filesIn(home.path()), QStringList{QStringLiteral(".vantorel")}) << "no temporary file is left behind";
    }
}

// A real full file system: a tmpfs with one free page.
TEST(ButtonFileOnAFullDisk, KeepsTheOldFileAndReportsTheFailure)
{
    QTemporaryDir mountPoint;
    if (::mount("tmpfs", QFile::encodeName(mountPoint.path()).constData(), "tmpfs", 0, "size=12k") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
    const QString path = mountPoint.filePath(QStringLiteral(".vantorel"));
    const QByteArray old = ButtonCodec::encode(someButtons(2));
    writeAll(path, old);
    writeAll(mountPoint.filePath(QStringLiteral("filler")), QByteArray(4096, 'x'));

    const ButtonFile::SaveResult result = ButtonFile(path).save(someButtons(41)); // about 8 KB
    const QByteArray after = readAll(path);
    const QStringList files = filesIn(mountPoint.path());
    ::umount2(QFile::encodeName(mountPoint.path()).constData(), MNT_DETACH);

    ASSERT_TRUE(result.error);
    EXPECT_EQ(after, old);
    EXPECT_EQ(files, (QStringList{QStringLiteral(".vantorel"), QStringLiteral("filler")}));
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

TEST_F(ButtonFileOnDisk, AFailedSaveAfterAnUnreadableFileKeepsBothAndTriesAgain)
{
    const QByteArray unreadable = "[{ broken";
    writeAll(path(), unreadable);
    ButtonFile file(path());
    EXPECT_TRUE(std::holds_alternative<QString>(file.load()));

    ButtonFile::SaveResult failed;
    {
        FileSizeLimit limit(16);
        failed = file.save(someButtons(3));
    }
    ASSERT_TRUE(failed.error);
    ASSERT_TRUE(failed.movedAsideTo);
    EXPECT_EQ(readAll(path()), unreadable) << "the file stays until a complete one replaces it";
    EXPECT_EQ(readAll(*failed.movedAsideTo), unreadable);

    const ButtonFile::SaveResult next = file.save(someButtons(2));
    EXPECT_FALSE(next.error);
    EXPECT_FALSE(next.movedAsideTo) << "one copy is enough";
    EXPECT_EQ(filesIn(home.path()).size(), 2);
    EXPECT_EQ(readAll(*failed.movedAsideTo), unreadable);
    EXPECT_TRUE(std::holds_alternative<LaunchButtonList>(ButtonFile(path()).load()));
}

TEST_F(ButtonFileOnDisk, AFileOverTheSizeLimitIsNotReadAndIsKeptAside)
{
    {
        QFile big(path());
        ASSERT_TRUE(big.open(QIODevice::WriteOnly));
        big.write("[");
        ASSERT_TRUE(big.resize(ButtonFile::sizeLimit + 1)); // sparse: quick to make
    }
    ButtonFile file(path());
    auto loaded = file.load();
    ASSERT_TRUE(std::holds_alternative<QString>(loaded));
    EXPECT_TRUE(std::get<QString>(loaded).contains(QStringLiteral("too large"))) << std::get<QString>(loaded).toStdString();
    EXPECT_EQ(QFileInfo(path()).size(), ButtonFile::sizeLimit + 1);

    const ButtonFile::SaveResult saved = file.save(someButtons(1));
    EXPECT_FALSE(saved.error);
    ASSERT_TRUE(saved.movedAsideTo);
    EXPECT_EQ(QFileInfo(*saved.movedAsideTo).size(), ButtonFile::sizeLimit + 1);

    QByteArray padded = ButtonCodec::encode(someButtons(1));
    padded.append(QByteArray(ButtonFile::sizeLimit - padded.size(), ' '));
    writeAll(path(), padded);
    EXPECT_TRUE(std::holds_alternative<LaunchButtonList>(ButtonFile(path()).load())) << "the limit itself is allowed";
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
