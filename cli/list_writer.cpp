#include "cli/cli.h"

namespace
{

constexpr std::size_t kPieceSize = 64 * 1024;

} // namespace

void ListWriter::Add(std::string_view text)
{
    piece_ += text;
    if (piece_.size() >= kPieceSize)
        WritePiece();
}

bool ListWriter::Finish()
{
    WritePiece();
    return !failed_ && std::fflush(out_) == 0;
}

void ListWriter::WritePiece()
{
    if (!failed_ && std::fwrite(piece_.data(), 1, piece_.size(), out_) != piece_.size())
        failed_ = true;
    piece_.clear();
}
