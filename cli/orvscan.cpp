#include <cstdio>
#include <cstring>
#include <string>

#include "cli/cli.h"

// What the parsed options cannot mean together; empty when they can.
static std::string MisusedOptions(const ScanOptions& options, bool why)
{
    if (why && options.targets.empty())
        return "why needs at least one TARGET";
    if (why && (options.prefixGiven || options.suffixGiven || !options.output.empty() ||
                options.format != ListFormat::Plain))
        return "why takes no --prefix, --suffix, --output or --format";
    if (!why && !options.targets.empty())
        return "unexpected argument '" + options.targets.front() + "'";
    if (options.format != ListFormat::Plain && (options.prefixGiven || options.suffixGiven))
        return "--prefix and --suffix are for the plain list, not --format";
    return {};
}

int main(int argc, char** argv)
{
    // The runtime may leave standard output unbuffered, and every write is a call
    // into the platform: lists of thousands of lines go out in large blocks.
    std::setvbuf(stdout, nullptr, _IOFBF, 64 * 1024);
    if (argc >= 2 && std::strcmp(argv[1], "--help") == 0)
    {
        PrintUsage();
        return EXIT_OK;
    }
    if (argc >= 2 && std::strcmp(argv[1], "--version") == 0)
    {
        std::puts("orvscan " ORV_VERSION);
        return EXIT_OK;
    }
    if (argc >= 2 && std::strcmp(argv[1], "imports") == 0)
    {
        int modernLinks = -1;
        int first = 2;
        if (argc > first && ParseReadingOption(argv[first], modernLinks))
            first++;
        if (argc > first)
            return RunImportsCommand(argc - first, argv + first, modernLinks);
        std::fputs("orvscan: imports needs at least one FILE\nTry 'orvscan --help'.\n", stderr);
        return EXIT_BAD_ARGUMENTS;
    }

    // why takes the scan's options, and targets in place of the list's options.
    const bool why = argc >= 2 && std::strcmp(argv[1], "why") == 0;
    ScanOptions options;
    std::string error;
    if (ParseScanOptions(why ? argc - 1 : argc, why ? argv + 1 : argv, options, error))
        error = MisusedOptions(options, why);
    if (!error.empty())
    {
        std::fprintf(stderr, "orvscan: %s\nTry 'orvscan --help'.\n", error.c_str());
        return EXIT_BAD_ARGUMENTS;
    }
    return why ? RunWhyCommand(options) : RunScanCommand(options);
}
