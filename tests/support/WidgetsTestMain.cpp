// GoogleTest entry point for the window suites: the program's own application
// object on the offscreen platform, and the per-user settings in a temporary
// config folder so that no test ever touches the real ones.
#include "app/ui/LoaderApplication.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv)
{
    QTemporaryDir config;
    if (!config.isValid())
        return 1;
    setenv("XDG_CONFIG_HOME", config.path().toLocal8Bit().constData(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    LoaderApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
