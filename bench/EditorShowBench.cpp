// From the "Shortcuts Editor" command to the editor on screen with every
// button in its list: the window's view is built and painted at its first
// showing, with the manager's buttons already loaded.
#include "LaunchPadWindow.h"
#include "LaunchPadWindowController.h"
#include "Log.h"
#include "TestManager.h"

#include <QApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUuid>

#include <benchmark/benchmark.h>

namespace {
QByteArray buttonFile(int count)
{
    QJsonArray buttons;
    for (int i = 0; i < count; ++i)
        buttons.append(QJsonObject{
            {QStringLiteral("id"), QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper()},
            {QStringLiteral("name"), QStringLiteral("Button number %1").arg(i)},
            {QStringLiteral("shortcut"), QStringLiteral("⌘ + ⌥ + F")},
            {QStringLiteral("appURLString"), QStringLiteral("file:///usr/share/applications/app-%1.desktop").arg(i)},
        });
    return QJsonDocument(buttons).toJson(QJsonDocument::Compact);
}

void showEditor(benchmark::State &state)
{
    TestManager testManager(buttonFile(int(state.range(0))));
    if (testManager.manager().buttons().size() != state.range(0))
        state.SkipWithError("the buttons did not load");
    for (auto _ : state) {
        LaunchPadWindowController controller([&]() -> HotKeyManager & { return testManager.manager(); }, nullptr);
        controller.showWindow();
        QCoreApplication::processEvents();
        controller.window().repaint();
        state.PauseTiming();
        controller.window().hide();
        state.ResumeTiming();
    }
}
BENCHMARK(showEditor)->Arg(10000)->Arg(330000)->Unit(benchmark::kMillisecond)->UseRealTime();
} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // Thousands of registration lines would swamp the figures.
    Log::setSink([](const QString &) {});
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
