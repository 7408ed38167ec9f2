#pragma once

#include <QString>
#include <QTemporaryDir>
#include <QVariant>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

class QWebEnginePage;
class QWebEngineProfile;
class WebWindowController;
class WindowActivator;

// Base for tests that run real pages: one off-the-record profile per test
// suite (deleted after every page of the suite), settings in a private
// directory, and helpers to wait on the engine.
class WebEngineFixture : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void SetUp() override;

    static QWebEngineProfile *profile();
    // Where the program's settings live during these tests.
    static QString settingsPath();
    std::unique_ptr<WebWindowController> makeController(std::shared_ptr<WindowActivator> activator = {});

    // Runs a script in the page's main world and returns its result.
    static QVariant evaluate(QWebEnginePage *page, const QString &script);
    static bool waitFor(const std::function<bool()> &condition, int timeoutMs = 10000);
    // Calls load and waits for the page to finish loading successfully.
    static bool loadAndWait(QWebEnginePage *page, const std::function<void()> &load);
};
