#pragma once

#include <QStandardPaths>
#include <QString>

#include <gtest/gtest.h>

// For a test that needs something the machine may lack (a program, a
// desktop service): without it the test is skipped and says why, except in
// CI (CI set), where scripts/install-deps.sh has installed everything and a
// missing piece fails the run instead of passing it silently.
#define VANTOREL_SKIP_OR_FAIL(why)                                                                                  \
    do {                                                                                                           \
        if (qEnvironmentVariableIsSet("CI"))                                                                       \
            FAIL() << (why) << " (CI must have it: scripts/install-deps.sh)";                                      \
        else                                                                                                       \
            GTEST_SKIP() << (why);                                                                                 \
    } while (false)

// The same for one program looked up on PATH.
#define VANTOREL_REQUIRE_PROGRAM(name)                                                                             \
    do {                                                                                                           \
        if (QStandardPaths::findExecutable(QStringLiteral(name)).isEmpty())                                        \
            VANTOREL_SKIP_OR_FAIL(name " is not installed (scripts/install-deps.sh)");                             \
    } while (false)
