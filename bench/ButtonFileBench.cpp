// Loading and saving a button file of 10,000 buttons, as the manager does it.
#include "model/ButtonFile.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {
LaunchButtonList tenThousandButtons()
{
    LaunchButtonList buttons;
    for (int i = 0; i < 10000; ++i)
        buttons.append(LaunchButton(QUuid::createUuid(), QStringLiteral("Button number %1").arg(i),
                                    QStringLiteral("⌘ + ⌥ + F"),
                                    QUrl(QStringLiteral("file:///usr/share/applications/app-%1.desktop").arg(i))));
    return buttons;
}

void saveTenThousand(benchmark::State &state)
{
    QTemporaryDir home;
    ButtonFile file(home.filePath(QStringLiteral(".vantorel")));
    const LaunchButtonList buttons = tenThousandButtons();
    for (auto _ : state) {
        const ButtonFile::SaveResult result = file.save(buttons);
        if (result.error)
            state.SkipWithError(result.error->toUtf8().constData());
    }
}
BENCHMARK(saveTenThousand)->Unit(benchmark::kMillisecond);

void loadTenThousand(benchmark::State &state)
{
    QTemporaryDir home;
    ButtonFile file(home.filePath(QStringLiteral(".vantorel")));
    file.save(tenThousandButtons());
    for (auto _ : state) {
        auto loaded = file.load();
        benchmark::DoNotOptimize(loaded);
        if (!std::holds_alternative<LaunchButtonList>(loaded) || std::get<LaunchButtonList>(loaded).size() != 10000)
            state.SkipWithError("the file did not load");
    }
}
BENCHMARK(loadTenThousand)->Unit(benchmark::kMillisecond);
} // namespace

BENCHMARK_MAIN();
