#include <cstdio>
#include <cstring>
#include <string>

#include "cli/cli.h"

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
        int importDirectories = -1;
        int first = 2;
        if (argc > first && ParseReadingOption(argv[first], importDirectories))
            first++;
        if (argc > first)
            return RunImportsCommand(argc - first, argv + first, importDirectories);
        std::fputs("orvscan: imports needs at least one FILE\nTry 'orvscan --help'.\n", stderr);
        return EXIT_BAD_ARGUMENTS;
    }

    ScanOptions options;
    std::string error;
    if (!ParseScanOptions(argc, argv, options, error))
    {
        std::fprintf(stderr, "orvscan: %s\nTry 'orvscan --help'.\n", error.c_str());
        return EXIT_BAD_ARGUMENTS;
    }
    return RunScanCommand(options);
}
