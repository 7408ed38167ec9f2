// From the "Shortcuts Editor" command to the editor on screen with every
// button in its list: the window's view is built and painted at its first
// showing, with the manager's buttons already loaded.
#include "ButtonFileWriter.h"
#include "TestManager.h"
#include "app/ShortcutsEditorWindow.h"
#include "app/ShortcutsEditorWindowController.h"
#include "model/Log.h"

#include <QApplication>

#include <benchmark/benchmark.h>

namespace {
QByteArray buttonFile(int count)
{
    ButtonFileWriter file;
    for (int i = 0; i < count; ++i)
        file.add(QStringLiteral("Button number %1").arg(i), QStringLiteral("⌘ + ⌥ + F"),
                 QStringLiteral("file:///usr/share/applications/app-%1.desktop").arg(i));
    return file.bytes();
}

void showEditor(benchmark::State &state)
{
    TestManager testManager(buttonFile(int(state.range(0))));
    if (testManager.manager().buttons().size() != state.range(0))
        state.SkipWithError("the buttons did not load");
    for (auto _ : state) {
        ShortcutsEditorWindowController controller(testManager.manager(), nullptr);
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
