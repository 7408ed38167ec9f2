// Measures the web window on a page served from 127.0.0.1: the first
// loadURL with a cold engine, later shows after a toggle-close, and the
// process's resident memory before and after the engine exists.
//
// Run as root it needs QTWEBENGINE_DISABLE_SANDBOX=1; see RESULTS.md.

#include "TestHttpServer.h"
#include "model/Log.h"
#include "web/WebWindow.h"
#include "web/WebWindowController.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QHash>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace {

struct ProcessInfo {
    qint64 parent = 0;
    qint64 rssKiB = 0;
};

QHash<qint64, ProcessInfo> allProcesses()
{
    QHash<qint64, ProcessInfo> processes;
    for (const QString &pid : QDir(QStringLiteral("/proc")).entryList({QStringLiteral("[0-9]*")}, QDir::Dirs)) {
        QFile status(QStringLiteral("/proc/%1/status").arg(pid));
        if (!status.open(QIODevice::ReadOnly))
            continue;
        ProcessInfo info;
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.startsWith("PPid:"))
                info.parent = line.mid(5).trimmed().toLongLong();
            else if (line.startsWith("VmRSS:"))
                info.rssKiB = line.mid(6).trimmed().split(' ').first().toLongLong();
        }
        processes.insert(pid.toLongLong(), info);
    }
    return processes;
}

double ownRssMiB()
{
    return double(allProcesses().value(getpid()).rssKiB) / 1024.0;
}

// Resident memory of every process below this one (the engine's helpers).
double helperRssMiB()
{
    const QHash<qint64, ProcessInfo> processes = allProcesses();
    qint64 total = 0;
    for (auto it = processes.cbegin(); it != processes.cend(); ++it) {
        for (qint64 ancestor = it->parent; ancestor > 1; ancestor = processes.value(ancestor).parent) {
            if (ancestor == getpid()) {
                total += it->rssKiB;
                break;
            }
        }
    }
    return double(total) / 1024.0;
}

// Milliseconds from calling show to the page's loadFinished.
double timeToLoaded(QWebEnginePage *page, const std::function<void()> &show)
{
    QEventLoop loop;
    bool ok = false;
    QObject::connect(page, &QWebEnginePage::loadFinished, &loop, [&](bool success) {
        ok = success;
        loop.quit();
    });
    QTimer::singleShot(30000, &loop, &QEventLoop::quit);
    QElapsedTimer timer;
    timer.start();
    show();
    loop.exec();
    const double elapsed = double(timer.nsecsElapsed()) / 1e6;
    return ok ? elapsed : -1.0;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath(QStringLiteral("data"))));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(home.filePath(QStringLiteral("cache"))));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("VantorelBench"));
    QCoreApplication::setApplicationName(QStringLiteral("web-window"));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, home.filePath(QStringLiteral("config")));

    // The window's own log lines would interleave with the results.
    Log::setSink([](const QString &) {});

    TestHttpServer server;
    QByteArray body = "<html><head><title>bench</title></head><body>";
    for (int i = 0; i < 200; ++i)
        body += "<p>Paragraph " + QByteArray::number(i) + " of the benchmark page.</p>";
    body += "</body></html>";
    server.serve(QStringLiteral("/page"), body);
    const QString address = server.url(QStringLiteral("/page"));

    const double rssBefore = ownRssMiB();

    QElapsedTimer coldTimer;
    coldTimer.start();
    WebWindowController &controller = WebWindowController::shared();
    const double creation = double(coldTimer.nsecsElapsed()) / 1e6;
    QWebEnginePage *page = controller.webView()->page();
    const double firstLoad = timeToLoaded(page, [&] { controller.loadURL(address); });
    if (firstLoad < 0) {
        std::fprintf(stderr, "the first page did not load\n");
        return 1;
    }
    const double rssAfter = ownRssMiB();
    const double helpers = helperRssMiB();

    constexpr int rounds = 30;
    std::vector<double> warmShows;
    std::vector<double> warmLoads;
    for (int i = 0; i < rounds; ++i) {
        controller.loadURL(address);
        if (controller.window()->isVisible()) {
            std::fprintf(stderr, "the second loadURL did not close the window\n");
            return 1;
        }
        QElapsedTimer showTimer;
        const double loaded = timeToLoaded(page, [&] {
            showTimer.start();
            controller.loadURL(address);
            warmShows.push_back(double(showTimer.nsecsElapsed()) / 1e6);
        });
        if (loaded < 0) {
            std::fprintf(stderr, "a warm show did not load\n");
            return 1;
        }
        warmLoads.push_back(loaded);
    }

    std::printf("platform: %s\n", qPrintable(QGuiApplication::platformName()));
    std::printf("cold: shared() %.1f ms, first loadURL to loadFinished %.1f ms, total %.1f ms\n", creation, firstLoad,
                creation + firstLoad);
    std::printf("warm (%d rounds, toggle-close then loadURL): window shown after %.2f ms (median), "
                "page loaded after %.1f ms (median), %.1f ms (min), %.1f ms (max)\n",
                rounds, median(warmShows), median(warmLoads), *std::min_element(warmLoads.begin(), warmLoads.end()),
                *std::max_element(warmLoads.begin(), warmLoads.end()));
    std::printf("resident memory: %.1f MiB before the engine, %.1f MiB after the first page "
                "(+%.1f MiB), engine helper processes %.1f MiB\n",
                rssBefore, rssAfter, rssAfter - rssBefore, helpers);

    QTimer::singleShot(0, &app, &QCoreApplication::quit);
    return QCoreApplication::exec();
}
