#include <QCoreApplication>

#include "Log.h"
#include "SkipAwareRun.h"

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    Log::install();
    ::testing::InitGoogleTest(&argc, argv);
    return runAllTestsReportingSkips();
}
