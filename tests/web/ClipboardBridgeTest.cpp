#include "WebEngineFixture.h"

#include "QStringPrinter.h"

#include "LogCapture.h"
#include "TestHttpServer.h"
#include "WebWindowController.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace {

const QString wrote = QStringLiteral("Wrote to clipboard: ");

class ClipboardBridgeTest : public WebEngineFixture {
protected:
    void SetUp() override
    {
        WebEngineFixture::SetUp();
        ASSERT_TRUE(server.isListening());
        ASSERT_TRUE(otherOrigin.isListening());
        controller = makeController();
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    }

    QWebEnginePage *page() const { return controller->webView()->page(); }

    bool show(const QString &path)
    {
        return loadAndWait(page(), [&] { controller->loadURL(server.url(path)); });
    }

    static QString clipboardText() { return QGuiApplication::clipboard()->text(); }

    bool waitForLine(const LogCapture &log, const QString &line) const
    {
        return waitFor([&] { return log.contains(line); });
    }

    TestHttpServer server;
    TestHttpServer otherOrigin;
    std::unique_ptr<WebWindowController> controller;
};

TEST_F(ClipboardBridgeTest, WriteTextFromThePagePutsTheTextOnTheClipboard)
{
    server.serve(QStringLiteral("/page"), "<html><body>page</body></html>");
    ASSERT_TRUE(show(QStringLiteral("/page")));
    LogCapture log;

    evaluate(page(), QStringLiteral("navigator.clipboard.writeText('copied ✓ text'); true"));

    ASSERT_TRUE(waitForLine(log, wrote + QStringLiteral("copied ✓ text")));
    EXPECT_EQ(clipboardText(), QStringLiteral("copied ✓ text"));
}

TEST_F(ClipboardBridgeTest, AWriteMadeWhileThePageStartsIsNotLost)
{
    server.serve(QStringLiteral("/early"),
                 "<html><head><script>navigator.clipboard.writeText('written at start');</script></head>"
                 "<body>early</body></html>");
    LogCapture log;
    ASSERT_TRUE(show(QStringLiteral("/early")));

    ASSERT_TRUE(waitForLine(log, wrote + QStringLiteral("written at start")));
    EXPECT_EQ(clipboardText(), QStringLiteral("written at start"));
}

TEST_F(ClipboardBridgeTest, FramesOfTheSameAndOfAnotherOriginReachTheClipboard)
{
    server.serve(QStringLiteral("/inner"), "<html><body><script>navigator.clipboard.writeText('from same origin');"
                                           "</script></body></html>");
    otherOrigin.serve(QStringLiteral("/inner"), "<html><body><script>navigator.clipboard.writeText("
                                                "'from other origin');</script></body></html>");
    server.serve(QStringLiteral("/outer"), QStringLiteral("<html><body><iframe src='/inner'></iframe>"
                                                          "<iframe src='%1'></iframe></body></html>")
                                               .arg(otherOrigin.url(QStringLiteral("/inner")))
                                               .toUtf8());
    LogCapture log;
    ASSERT_TRUE(show(QStringLiteral("/outer")));

    EXPECT_TRUE(waitForLine(log, wrote + QStringLiteral("from same origin")));
    EXPECT_TRUE(waitForLine(log, wrote + QStringLiteral("from other origin")));
}

TEST_F(ClipboardBridgeTest, AnEmptyStringEmptiesTheClipboard)
{
    server.serve(QStringLiteral("/page"), "<html><body>page</body></html>");
    ASSERT_TRUE(show(QStringLiteral("/page")));
    LogCapture log;

    evaluate(page(), QStringLiteral("navigator.clipboard.writeText(''); true"));

    ASSERT_TRUE(waitForLine(log, wrote));
    EXPECT_EQ(clipboardText(), QString());
}

TEST_F(ClipboardBridgeTest, MessagesThatAreNotTextAreIgnored)
{
    server.serve(QStringLiteral("/page"), "<html><body>page</body></html>");
    ASSERT_TRUE(show(QStringLiteral("/page")));
    LogCapture log;

    evaluate(page(), QStringLiteral("const bridge = window.webkit.messageHandlers.clipboardWrite;"
                                    "[42, true, null, {text: 'x'}, ['x']].forEach(m => bridge.postMessage(m));"
                                    "bridge.postMessage('last'); true"));

    // Messages arrive in order: once the last one is written, the others were seen.
    ASSERT_TRUE(waitForLine(log, wrote + QStringLiteral("last")));
    EXPECT_EQ(log.lines(), QStringList(wrote + QStringLiteral("last")));
}

TEST_F(ClipboardBridgeTest, PagesReachNoOtherObjectOfTheProgram)
{
    server.serve(QStringLiteral("/page"), "<html><body>page</body></html>");
    ASSERT_TRUE(show(QStringLiteral("/page")));

    // Ask the channel directly for its published objects (message type 3 is
    // the channel's "init"), on a transport the bridge no longer uses.
    evaluate(page(), QStringLiteral("window.published = null;"
                                    "qt.webChannelTransport.onmessage = m => {"
                                    "  const data = JSON.parse(m.data);"
                                    "  if (data.id === 'probe') window.published = Object.keys(data.data);"
                                    "};"
                                    "qt.webChannelTransport.send(JSON.stringify({type: 3, id: 'probe'})); true"));
    ASSERT_TRUE(waitFor([&] { return evaluate(page(), QStringLiteral("window.published !== null")).toBool(); }));

    EXPECT_EQ(evaluate(page(), QStringLiteral("window.published")).toStringList(),
              QStringList(QStringLiteral("clipboardWrite")));
}

} // namespace
