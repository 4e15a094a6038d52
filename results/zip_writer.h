// A ZIP archive written one entry at a time, deflated through zlib. It knows nothing
// of files: its caller hands in where the bytes go and where each entry's come from.
// Portable: no windows.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "results/zip_records.h"

// Where the archive goes. Every call answers false when the bytes did not all get there.
class ZipOutput
{
public:
    virtual bool Write(const void* data, std::size_t size) = 0;
    // Overwrites bytes already written, then goes on writing at the end.
    virtual bool Rewrite(std::uint64_t position, const void* data, std::size_t size) = 0;
    // Cuts the archive back to position and goes on writing there.
    virtual bool CutBack(std::uint64_t position) = 0;

protected:
    ~ZipOutput() = default;
};

// Where one entry's bytes come from.
class ZipInput
{
public:
    // Fills up to size bytes: how many, 0 at the end, negative when they cannot be read.
    virtual long long Read(void* buffer, std::size_t size) = 0;

protected:
    ~ZipInput() = default;
};

enum class ZipAddResult
{
    Added,
    SourceFailed, // nothing of the entry is left in the archive
    OutputFailed, // the archive cannot be finished
};

class ZipWriter
{
public:
    explicit ZipWriter(ZipOutput& output);
    ~ZipWriter();
    ZipWriter(const ZipWriter&) = delete;
    ZipWriter& operator=(const ZipWriter&) = delete;

    // record gives the name, time and attributes; expectedSize, the source's size
    // before it is read, decides whether the sizes go into ZIP64 fields. A source that
    // then grows beyond what those fields allow fails like an unreadable one.
    // progress, when given, runs between chunks.
    ZipAddResult Add(ZipRecord record, std::uint64_t expectedSize, ZipInput& input,
                     void (*progress)() = nullptr);
    // The central directory and the end records; false when they could not be written.
    bool Finish();
    std::size_t Count() const { return records_.size(); }

private:
    struct Deflater;
    ZipAddResult CopyEntry(ZipRecord& record, ZipInput& input, void (*progress)());
    bool Emit(const void* data, std::size_t size);

    ZipOutput& output_;
    std::unique_ptr<Deflater> deflater_;
    std::vector<ZipRecord> records_;
    std::uint64_t position_ = 0;
    bool failed_ = false;
};
