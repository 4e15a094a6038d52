// The result list as records for scripts: TSV with one header line, or one JSON array.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "engine/link_graph.h"
#include "engine/name_list.h"
#include "engine/scan_state.h"
#include "feedback/feedback.h"

namespace
{

struct ListRecord
{
    std::string shortPath, longPath;
    std::uint64_t size = 0;
    std::string fileVersion;
    std::vector<std::string> linkedFrom;
    int bits = 32;
};

// The file version of the fixed part of the version record, "1.2.3.4"; empty when the
// file has none. The fixed part comes first in the record, so the record's start is all
// that is read: asking for the record's size first would open the file twice.
std::string FileVersionOf(const std::string& path)
{
    std::uint8_t start[1024];
    void* value = nullptr;
    UINT length = 0;
    if (!GetFileVersionInfoA(path.c_str(), 0, sizeof start, start) ||
        !VerQueryValueA(start, "\\", &value, &length) || length < sizeof(VS_FIXEDFILEINFO))
        return {};
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    if (fixed->dwSignature != VS_FFI_SIGNATURE)
        return {};
    char text[48];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", unsigned{HIWORD(fixed->dwFileVersionMS)},
                  unsigned{LOWORD(fixed->dwFileVersionMS)}, unsigned{HIWORD(fixed->dwFileVersionLS)},
                  unsigned{LOWORD(fixed->dwFileVersionLS)});
    return text;
}

ListRecord RecordOf(std::string_view shortPath)
{
    ListRecord record;
    record.shortPath.assign(shortPath);
    const LinkedFile* file = FindLinkedFile(shortPath);
    record.longPath = file && !WalkedPath(*file).empty() ? WalkedPath(*file) : record.shortPath;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!RecallListedSize(shortPath, record.size) &&
        GetFileAttributesExA(record.longPath.c_str(), GetFileExInfoStandard, &data))
        record.size = (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
    record.fileVersion = FileVersionOf(record.longPath);
    for (const LinkedFile* library : LinkingLibraries(shortPath))
        record.linkedFrom.push_back(library->shortPath);
    // Without 64-bit DLLs included, only 32-bit ones are listed.
    if (g_scanInputs.scan64 && FileBits(shortPath) == 64)
        record.bits = 64;
    return record;
}

// No Windows name holds a control character, but a name Wine shows from the host's
// file system may: such a character would break the record's columns or its line.
std::string TsvField(const std::string& text)
{
    std::string field = text;
    for (char& c : field)
        if (static_cast<unsigned char>(c) < 0x20)
            c = '?';
    return field;
}

// A short path never holds a ';': the list of linking DLLs is one field.
std::string TsvLine(const ListRecord& record)
{
    std::string linkedFrom;
    for (const std::string& library : record.linkedFrom)
        linkedFrom += (linkedFrom.empty() ? "" : ";") + TsvField(library);
    return TsvField(record.shortPath) + '\t' + TsvField(record.longPath) + '\t' +
           std::to_string(record.size) + '\t' + TsvField(record.fileVersion) + '\t' + linkedFrom + '\t' +
           std::to_string(record.bits) + kLineEnd;
}

// A path's bytes are characters of the ANSI code page. They are written as a JSON
// string of plain ASCII: every other character, converted to UTF-16, as a \u escape,
// so that the text reads the same whatever a console or a file takes it for.
std::string JsonString(const std::string& ansi)
{
    std::wstring wide(ansi.size(), L'\0');
    const int length = ansi.empty()
                           ? 0
                           : MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()),
                                                 wide.data(), static_cast<int>(wide.size()));
    wide.resize(static_cast<std::size_t>(length > 0 ? length : 0));
    std::string json = "\"";
    for (wchar_t c : wide)
    {
        if (c == L'"' || c == L'\\')
            json += {'\\', static_cast<char>(c)};
        else if (c >= 0x20 && c < 0x7F)
            json += static_cast<char>(c);
        else
        {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
            json += escape;
        }
    }
    return json + "\"";
}

std::string JsonObject(const ListRecord& record)
{
    std::string linkedFrom;
    for (const std::string& library : record.linkedFrom)
        linkedFrom += (linkedFrom.empty() ? "" : ", ") + JsonString(library);
    return "{\"short_path\": " + JsonString(record.shortPath) +
           ", \"long_path\": " + JsonString(record.longPath) + ", \"size\": " + std::to_string(record.size) +
           ", \"file_version\": " + JsonString(record.fileVersion) + ", \"linked_from\": [" + linkedFrom +
           "], \"bits\": " + std::to_string(record.bits) + "}";
}

} // namespace

bool WriteListRecords(ListFormat format, std::FILE* out)
{
    ListWriter writer(out);
    const int count = GetCount(g_resultList);
    // The listed files under the names the scan saw them by.
    RedirectionOff unredirected(g_scanInputs.scan64);
    if (format == ListFormat::Tsv)
        writer.Add(std::string("short_path\tlong_path\tsize\tfile_version\tlinked_from\tbits") + kLineEnd);
    else
        writer.Add("[");
    for (int i = 0; i < count; i++)
    {
        const ListRecord record = RecordOf(NameAt(g_resultList, i));
        if (format == ListFormat::Tsv)
            writer.Add(TsvLine(record));
        else
            writer.Add((i ? "," : "") + std::string(kLineEnd) + " " + JsonObject(record));
    }
    if (format == ListFormat::Json)
        writer.Add((count ? kLineEnd + std::string("]") : "]") + kLineEnd);
    return writer.Finish();
}
