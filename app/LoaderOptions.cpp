#include "app/LoaderOptions.h"

LoaderOptions ParseLoaderOptions(const std::vector<std::string>& arguments)
{
    LoaderOptions options;
    for (const std::string& argument : arguments) {
        if (argument == "--developer")
            options.developer = true;
        else if (argument == "--help" || argument == "-h")
            options.help = true;
        else if (argument == "--version")
            options.version = true;
        else if (!options.error.empty())
            continue;
        else if (argument.empty() || argument.front() == '-')
            options.error = "mirelle-loader: unknown option '" + argument + "' (see mirelle-loader --help)";
        else if (!options.file.empty())
            options.error = "mirelle-loader: one file at most, not '" + options.file + "' and '" + argument + "'";
        else
            options.file = argument;
    }
    return options;
}

std::string LoaderUsageText()
{
    return R"(usage: mirelle-loader [--developer] [FILE]

Mirelle series program loader: the service tool's window for the Mirelle
recorder on a serial line. Pick the port in File > Serial port configuration.

Options:
  --developer     also show the boot and factory panels and the Tools entries
                  "Program loader" and "Emulator", for developers and factory staff
  --help          this text
  --version       the version
  FILE            open this file as "Load" does: a .tbu into the user panel;
                  with --developer also a .tbf or .tb into its panel and a
                  .tfs into the console's symbol table

The same jobs without a window: mirelle-cli --help.
)";
}

std::string LoaderVersionText()
{
    return "Mirelle series program loader V2.00\n";
}
