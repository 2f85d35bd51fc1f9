#include "app/ui/LoaderApplication.h"

#include "common/Prompts.h"

#include <cstdio>

LoaderApplication::LoaderApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationName(kTitle);
}

void LoaderApplication::ShowException(const std::exception& error)
{
    if (prompts)
        prompts->Error(kTitle, error.what());
    else
        std::fprintf(stderr, "mirelle-loader: %s\n", error.what());
}

bool LoaderApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        ShowException(error);
    }
    return false;
}
