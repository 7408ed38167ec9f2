#include <QApplication>

#include "NoDesktopBus.h"
#include "SkipAwareRun.h"
#include "model/Log.h"

#include <gtest/gtest.h>

// Widgets run offscreen unless a test binary sets another platform first.
int main(int argc, char **argv)
{
    const NoDesktopBus noBus;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Log::install();
    ::testing::InitGoogleTest(&argc, argv);
    return runAllTestsReportingSkips();
}
