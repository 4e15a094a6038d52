// Backup's own archive writer alone, for bench/backup_speed.py: the files named in
// LIST (one path a line) into the new archive ARCHIVE. Prints the files added and
// skipped and the milliseconds the writing took; exit status 0 when it was written.
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "results/results.h"

int main(int argc, char** argv)
{
    if (argc != 3)
    {
        std::fprintf(stderr, "usage: zip_files ARCHIVE LIST\n");
        return 2;
    }
    std::vector<std::string> paths;
    std::ifstream list(argv[2]);
    for (std::string line; std::getline(list, line);)
        if (!line.empty())
            paths.push_back(line);
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    int added = 0, skipped = 0;
    const int written = WriteZipArchive(argv[1], paths, added, skipped);
    QueryPerformanceCounter(&end);
    std::printf("%d %d %.0f\n", added, skipped,
                1000.0 * (end.QuadPart - start.QuadPart) / frequency.QuadPart);
    return written == 1 ? 0 : 1;
}
