#include "ScopedEnvironment.h"
#include "platform/posix/Utf8Locale.h"

#include <QByteArray>
#include <QList>

#include <clocale>
#include <cstring>
#include <optional>
#include <string>

#include <langinfo.h>

#include <gtest/gtest.h>

namespace {
// The process's locale and its variables come back as they were after each case.
class Utf8LocaleTest : public ::testing::Test {
protected:
    ~Utf8LocaleTest() override { std::setlocale(LC_ALL, m_locale.c_str()); }

    static std::optional<QByteArray> variable(const char *name)
    {
        return qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt;
    }

    ScopedEnvironment environment;

private:
    std::string m_locale = std::setlocale(LC_ALL, nullptr);
};

struct Environment {
    std::optional<QByteArray> lang, lcAll, lcCtype;
};

struct Case {
    const char *what;
    Environment before;
    QByteArray assignment; // what ensure() reports
    Environment after;
};

TEST_F(Utf8LocaleTest, ANonUtf8EnvironmentGetsAUtf8CharacterTypeAndNothingElseChanges)
{
    const std::nullopt_t unset = std::nullopt;
    const QList<Case> cases{
        {"nothing set (cron, containers)", {unset, unset, unset}, "LC_CTYPE=C.UTF-8", {unset, unset, "C.UTF-8"}},
        {"LANG=C", {"C", unset, unset}, "LC_CTYPE=C.UTF-8", {"C", unset, "C.UTF-8"}},
        {"LANG=POSIX, LC_CTYPE=C", {"POSIX", unset, "C"}, "LC_CTYPE=C.UTF-8", {"POSIX", unset, "C.UTF-8"}},
        {"LC_ALL=C overrides LC_CTYPE", {unset, "C", "C.UTF-8"}, "LC_ALL=C.UTF-8", {unset, "C.UTF-8", "C.UTF-8"}},
        {"an empty LC_ALL counts as unset", {"C", "", unset}, "LC_CTYPE=C.UTF-8", {"C", "", "C.UTF-8"}},
        {"a locale this system lacks", {"xx_XX.UTF-8", unset, unset}, "LC_ALL=C.UTF-8", {"xx_XX.UTF-8", "C.UTF-8", unset}},
        {"UTF-8 already", {"C.UTF-8", unset, unset}, "", {"C.UTF-8", unset, unset}},
        {"UTF-8 character type under LANG=C", {"C", unset, "C.UTF-8"}, "", {"C", unset, "C.UTF-8"}},
    };
    for (const Case &c : cases) {
        environment.unset("LC_MESSAGES");
        environment.set("LANG", c.before.lang);
        environment.set("LC_ALL", c.before.lcAll);
        environment.set("LC_CTYPE", c.before.lcCtype);
        std::setlocale(LC_ALL, "C");

        EXPECT_EQ(Utf8Locale::ensure(), c.assignment) << c.what;
        EXPECT_STREQ(nl_langinfo(CODESET), "UTF-8") << c.what;
        EXPECT_EQ(variable("LANG"), c.after.lang) << c.what;
        EXPECT_EQ(variable("LC_ALL"), c.after.lcAll) << c.what;
        EXPECT_EQ(variable("LC_CTYPE"), c.after.lcCtype) << c.what;
        // What Qt does next, loading the environment's locale, keeps UTF-8.
        ASSERT_NE(std::setlocale(LC_ALL, ""), nullptr) << c.what;
        EXPECT_STREQ(nl_langinfo(CODESET), "UTF-8") << c.what;
    }
}

TEST_F(Utf8LocaleTest, MessagesNumbersAndSortingStayTheEnvironments)
{
    for (const char *name : {"LC_ALL", "LC_CTYPE", "LANG"})
        environment.unset(name);
    environment.set("LC_MESSAGES", "C.UTF-8");
    EXPECT_EQ(Utf8Locale::ensure(), QByteArray("LC_CTYPE=C.UTF-8"));
    EXPECT_STREQ(std::setlocale(LC_MESSAGES, nullptr), "C.UTF-8");
    EXPECT_STREQ(std::setlocale(LC_NUMERIC, nullptr), "C");
    EXPECT_STREQ(std::setlocale(LC_COLLATE, nullptr), "C");
}
} // namespace
