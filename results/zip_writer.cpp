#include "results/zip_writer.h"

#include <zlib.h>

#include <string>

namespace
{

constexpr std::size_t kChunk = 256 * 1024;
// The central directory goes out in pieces of about this size.
constexpr std::size_t kDirectoryPiece = 1024 * 1024;

} // namespace

// Level 6 and raw deflate: what every ZIP tool writes by default.
struct ZipWriter::Deflater
{
    Deflater() { ready = deflateInit2(&stream, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) == Z_OK; }
    ~Deflater()
    {
        if (ready)
            deflateEnd(&stream);
    }
    z_stream stream{};
    bool ready = false;
    std::vector<unsigned char> in = std::vector<unsigned char>(kChunk);
    std::vector<unsigned char> out = std::vector<unsigned char>(kChunk);
};

ZipWriter::ZipWriter(ZipOutput& output) : output_(output), deflater_(std::make_unique<Deflater>())
{
    failed_ = !deflater_->ready;
}

ZipWriter::~ZipWriter() = default;

bool ZipWriter::Emit(const void* data, std::size_t size)
{
    if (!output_.Write(data, size))
    {
        failed_ = true;
        return false;
    }
    position_ += size;
    return true;
}

ZipAddResult ZipWriter::CopyEntry(ZipRecord& record, ZipInput& input, void (*progress)())
{
    z_stream& stream = deflater_->stream;
    if (deflateReset(&stream) != Z_OK)
        return ZipAddResult::OutputFailed;
    std::uint32_t crc = crc32(0, nullptr, 0);
    for (int flush = Z_NO_FLUSH; flush != Z_FINISH;)
    {
        const long long got = input.Read(deflater_->in.data(), kChunk);
        if (got < 0)
            return ZipAddResult::SourceFailed;
        flush = got == 0 ? Z_FINISH : Z_NO_FLUSH;
        crc = crc32(crc, deflater_->in.data(), static_cast<uInt>(got));
        record.size += static_cast<std::uint64_t>(got);
        stream.next_in = deflater_->in.data();
        stream.avail_in = static_cast<uInt>(got);
        do
        {
            stream.next_out = deflater_->out.data();
            stream.avail_out = static_cast<uInt>(kChunk);
            if (deflate(&stream, flush) == Z_STREAM_ERROR)
                return ZipAddResult::OutputFailed;
            const std::size_t produced = kChunk - stream.avail_out;
            if (produced && !Emit(deflater_->out.data(), produced))
                return ZipAddResult::OutputFailed;
            record.compressedSize += produced;
        } while (stream.avail_out == 0);
        if (!record.zip64 && (record.size >= kZip32Limit || record.compressedSize >= kZip32Limit))
            return ZipAddResult::SourceFailed;
        if (progress)
            progress();
    }
    record.crc = crc;
    return ZipAddResult::Added;
}

ZipAddResult ZipWriter::Add(ZipRecord record, std::uint64_t expectedSize, ZipInput& input, void (*progress)())
{
    if (failed_)
        return ZipAddResult::OutputFailed;
    record.zip64 = ZipEntryNeedsZip64(expectedSize);
    record.offset = position_;
    record.crc = 0;
    record.size = record.compressedSize = 0;
    std::string header;
    AppendZipLocalHeader(header, record);
    ZipAddResult result =
        Emit(header.data(), header.size()) ? CopyEntry(record, input, progress) : ZipAddResult::OutputFailed;
    if (result == ZipAddResult::SourceFailed)
    {
        // Nothing of a source that failed halfway stays behind.
        if (!output_.CutBack(record.offset))
            result = ZipAddResult::OutputFailed;
        position_ = record.offset;
    }
    if (result != ZipAddResult::Added)
    {
        failed_ = failed_ || result == ZipAddResult::OutputFailed;
        return result;
    }
    header.clear();
    AppendZipLocalHeader(header, record);
    if (!output_.Rewrite(record.offset, header.data(), header.size()))
    {
        failed_ = true;
        return ZipAddResult::OutputFailed;
    }
    records_.push_back(std::move(record));
    return ZipAddResult::Added;
}

bool ZipWriter::Finish()
{
    if (failed_)
        return false;
    const std::uint64_t directoryOffset = position_;
    std::string piece;
    for (const ZipRecord& record : records_)
    {
        AppendZipCentralHeader(piece, record);
        if (piece.size() >= kDirectoryPiece)
        {
            if (!Emit(piece.data(), piece.size()))
                return false;
            piece.clear();
        }
    }
    if (!piece.empty() && !Emit(piece.data(), piece.size()))
        return false;
    piece.clear();
    AppendZipEndRecords(piece, records_.size(), directoryOffset, position_ - directoryOffset);
    return Emit(piece.data(), piece.size());
}
