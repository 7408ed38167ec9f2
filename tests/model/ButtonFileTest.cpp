#include "ButtonCodec.h"
#include "ButtonFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
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

bool loads(const QString &path) { return std::holds_alternative<LaunchButtonList>(ButtonFile(path).load()); }

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

class ButtonFileOnDisk : public ::testing::Test {
protected:
    QTemporaryDir home;
    QString path() const { return home.filePath(QStringLiteral(".vantorel")); }
    QStringList files() const { return QDir(home.path()).entryList(QDir::Files | QDir::Hidden | QDir::System); }
};

TEST_F(ButtonFileOnDisk, SavesAndLoadsTheSameButtons)
{
    ButtonFile file(path());
    EXPECT_FALSE(file.exists());
    const LaunchButtonList buttons = someButtons(3);
    EXPECT_FALSE(file.save(buttons).error);
    EXPECT_EQ(readAll(path()), ButtonCodec::encode(buttons));

    auto loaded = ButtonFile(path()).load();
    ASSERT_TRUE(std::holds_alternative<LaunchButtonList>(loaded));
    EXPECT_EQ(ButtonCodec::encode(std::get<LaunchButtonList>(loaded)), ButtonCodec::encode(buttons));
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
        EXPECT_EQ(files(), QStringList{QStringLiteral(".vantorel")}) << "no temporary file is left behind";
    }
}

TEST_F(ButtonFileOnDisk, AFailedSaveAfterAnUnreadableFileKeepsBothAndTriesAgain)
{
    const QByteArray unreadable = "[{ broken";
    writeAll(path(), unreadable);
    ButtonFile file(path());
    EXPECT_TRUE(std::holds_alternative<QString>(file.load()));
    EXPECT_EQ(readAll(path()), unreadable) << "loading changes nothing";

    ButtonFile::SaveResult failed;
    {
        FileSizeLimit limit(16);
        failed = file.save(someButtons(3));
    }
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
    ButtonFile file(path());
    EXPECT_TRUE(std::holds_alternative<QString>(file.load()));
    const ButtonFile::SaveResult result = file.save({});
    ASSERT_TRUE(result.movedAsideTo);
    EXPECT_EQ(readAll(*result.movedAsideTo), QByteArray("[1]"));
    EXPECT_TRUE(QFileInfo(path()).isSymLink());
    EXPECT_EQ(readAll(target), QByteArray("[]"));
}

TEST_F(ButtonFileOnDisk, AFileOverTheSizeLimitIsNotReadAndIsKeptAside)
{
    {
        QFile big(path());
        ASSERT_TRUE(big.open(QIODevice::WriteOnly));
        big.write("[");
        ASSERT_TRUE(big.resize(16 * 1024 * 1024 + 1)); // sparse: quick to make
    }
    ButtonFile file(path());
    auto loaded = file.load();
    ASSERT_TRUE(std::holds_alternative<QString>(loaded));
    EXPECT_TRUE(std::get<QString>(loaded).contains(QStringLiteral("too large"))) << std::get<QString>(loaded).toStdString();

    const ButtonFile::SaveResult saved = file.save(someButtons(1));
    ASSERT_TRUE(saved.movedAsideTo);
    EXPECT_EQ(QFileInfo(*saved.movedAsideTo).size(), 16 * 1024 * 1024 + 1);

    QByteArray padded = ButtonCodec::encode(someButtons(1));
    padded.append(QByteArray(16 * 1024 * 1024 - padded.size(), ' '));
    writeAll(path(), padded);
    EXPECT_TRUE(loads(path())) << "the limit itself is allowed";
}

TEST_F(ButtonFileOnDisk, ADirectoryAtThePathIsNeitherReadNorReplaced)
{
    ASSERT_TRUE(QDir(home.path()).mkdir(QStringLiteral(".vantorel")));
    ButtonFile file(path());
    EXPECT_TRUE(std::holds_alternative<QString>(file.load()));
    const ButtonFile::SaveResult result = file.save(someButtons(1));
    EXPECT_TRUE(result.error);
    EXPECT_FALSE(result.movedAsideTo);
    EXPECT_TRUE(QFileInfo(path()).isDir());
}
} // namespace
