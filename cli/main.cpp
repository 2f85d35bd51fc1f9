// mirelle-cli: the service tool's main use from a shell or a script.
#include "CliRunner.h"

#include <QCoreApplication>

#include <cstdio>
#include <exception>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    try {
        return RunCli(std::vector<std::string>(argv + 1, argv + argc), stdout, stderr);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "mirelle-cli: %s\n", error.what());
        return 4;
    }
}
