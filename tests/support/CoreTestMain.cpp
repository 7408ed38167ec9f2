#include <QCoreApplication>

#include "Log.h"
#include "NoDesktopBus.h"

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    const NoDesktopBus noBus;
    QCoreApplication app(argc, argv);
    Log::install();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
