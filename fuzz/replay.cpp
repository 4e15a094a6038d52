// Runs a fuzz target's entry point over saved inputs without libFuzzer: the seed
// corpus and every committed finding, as a plain test. Arguments are files or
// directories, searched recursively; an empty directory is no error, a missing one is.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace fs = std::filesystem;

namespace
{

bool ReplayFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
    {
        std::fprintf(stderr, "replay: cannot read %s\n", path.c_str());
        return false;
    }
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // An empty input still gets a valid, distinct pointer, as libFuzzer gives it.
    std::uint8_t none = 0;
    LLVMFuzzerTestOneInput(bytes.empty() ? &none : bytes.data(), bytes.size());
    return true;
}

// The number of inputs replayed from path, or -1.
long ReplayPath(const fs::path& path)
{
    std::error_code error;
    if (fs::is_regular_file(path, error))
        return ReplayFile(path) ? 1 : -1;
    if (!fs::is_directory(path, error))
    {
        std::fprintf(stderr, "replay: no such file or directory: %s\n", path.c_str());
        return -1;
    }
    long count = 0;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(path, error))
    {
        if (!entry.is_regular_file())
            continue;
        if (!ReplayFile(entry.path()))
            return -1;
        count++;
    }
    if (error)
    {
        std::fprintf(stderr, "replay: cannot list %s: %s\n", path.c_str(), error.message().c_str());
        return -1;
    }
    return count;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
    {
        std::fprintf(stderr, "usage: %s FILE-OR-DIRECTORY...\n", argv[0]);
        return 2;
    }
    long total = 0;
    for (int i = 1; i < argc; i++)
    {
        long count = ReplayPath(argv[i]);
        if (count < 0)
            return 1;
        std::printf("replayed %ld input(s) from %s\n", count, argv[i]);
        total += count;
    }
    std::printf("replayed %ld input(s) in all, no finding\n", total);
    return 0;
}
