#include <QCoreApplication>

#include "NoDesktopBus.h"
#include "SkipAwareRun.h"
#include "model/Log.h"

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    const NoDesktopBus noBus;
    QCoreApplication app(argc, argv);
    Log::install();
    ::testing::InitGoogleTest(&argc, argv);
    return runAllTestsReportingSkips();
}
