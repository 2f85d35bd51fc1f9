#include "app/LoaderOptions.h"

LoaderOptions ParseLoaderOptions(const std::vector<std::string>& arguments)
{
    LoaderOptions options;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--record" && i + 1 < arguments.size())
            options.record = arguments[++i];
        else if (argument == "--record" && options.error.empty())
            options.error = "mirelle-loader: --record needs a file";
        else if (argument == "--developer")
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
    return R"(usage: mirelle-loader [--developer] [--record FILE] [FILE]

Mirelle series program loader: the service tool's window for the Mirelle
recorder on a serial line. Pick the port in File > Serial port configuration.

Options:
  --developer     also show the boot and factory panels and the Tools entries
                  "Program loader" and "Emulator", for developers and factory staff
  --record FILE   write every event of the serial line to FILE, for a bug report
                  (replay it with mirelle-sim --replay FILE)
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
