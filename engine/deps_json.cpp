#include "engine/deps_json.h"

#include <algorithm>
#include <string_view>

#include "engine/path_parts.h"

namespace
{

// The bytes front to back, a page at a time; -1 past the end or where a read failed.
class Cursor
{
public:
    Cursor(PagedBytes& bytes, std::uint64_t offset) : bytes_(bytes), offset_(offset) {}

    int Next()
    {
        if (at_ == chunk_.size())
        {
            if (offset_ >= bytes_.Size())
                return -1;
            chunk_ = bytes_.Fetch(offset_,
                                  std::min<std::uint64_t>(PagedBytes::kPageSize, bytes_.Size() - offset_));
            if (chunk_.empty())
                return -1;
            offset_ += chunk_.size();
            at_ = 0;
        }
        return chunk_[at_++];
    }

    // The next byte that is not white space.
    int NextToken()
    {
        int c = Next();
        while (c == ' ' || c == '\t' || c == '\n' || c == '\r')
            c = Next();
        return c;
    }

private:
    PagedBytes& bytes_;
    ByteSpan chunk_;
    std::size_t at_ = 0;
    std::uint64_t offset_ = 0;
};

bool IsHex(int c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// A string's characters after its opening quote, kept up to a path's length (a longer
// one sets overlong); false when it is not a well-formed string.
bool ReadString(Cursor& cursor, std::string& kept, bool& overlong)
{
    kept.clear();
    overlong = false;
    for (;;)
    {
        int c = cursor.Next();
        if (c == '"')
            return true;
        if (c < 0x20)
            return false;
        if (c == '\\')
        {
            c = cursor.Next();
            if (c == 'u')
            {
                unsigned value = 0;
                for (int i = 0; i < 4; i++)
                {
                    const int h = cursor.Next();
                    if (!IsHex(h))
                        return false;
                    value = value * 16 + static_cast<unsigned>(h <= '9' ? h - '0' : (h | 0x20) - 'a' + 10);
                }
                // A name beyond ASCII written as an escape names no file the ANSI side can open.
                c = value < 0x80 && value != 0 ? static_cast<int>(value) : '?';
            }
            else if (c == 'b' || c == 'f' || c == 'n' || c == 'r' || c == 't')
                c = '?';
            else if (c != '"' && c != '\\' && c != '/')
                return false;
        }
        if (kept.size() < kMaxPathLength)
            kept.push_back(static_cast<char>(c));
        else
            overlong = true;
    }
}

// The rest of a number or literal whose first byte was first; the byte after it goes
// to next.
bool ReadScalar(Cursor& cursor, int first, int& next)
{
    if (first == 't' || first == 'f' || first == 'n')
    {
        const std::string_view word = first == 't' ? "true" : first == 'f' ? "false" : "null";
        for (std::size_t i = 1; i < word.size(); i++)
            if (cursor.Next() != word[i])
                return false;
        next = cursor.NextToken();
        return true;
    }
    bool digit = false;
    int c = first;
    while (c == '-' || c == '+' || c == '.' || c == 'e' || c == 'E' || (c >= '0' && c <= '9'))
    {
        digit = digit || (c >= '0' && c <= '9');
        c = cursor.Next();
    }
    while (c == ' ' || c == '\t' || c == '\n' || c == '\r')
        c = cursor.Next();
    next = c;
    return digit;
}

} // namespace

std::vector<std::string> ParseDepsAssets(PagedBytes& bytes)
{
    std::vector<std::string> assets;
    if (bytes.Size() > kMostDepsBytes)
        return {};
    // A UTF-8 byte order mark, as some editors write one, is no part of the text.
    const ByteSpan head = bytes.Fetch(0, 3);
    const bool marked = head.size() == 3 && head[0] == 0xEF && head[1] == 0xBB && head[2] == 0xBF;
    Cursor cursor(bytes, marked ? 3 : 0);
    // The open containers ('{' or '['), and the key each object is at, for the first five.
    std::string open;
    std::vector<std::string> keys;
    enum
    {
        Value,
        ValueOrEnd,
        Key,
        KeyOrEnd,
        AfterValue
    } expect = Value;
    int c = cursor.NextToken();
    for (;;)
    {
        if (expect == AfterValue)
        {
            if (open.empty())
                return c == -1 ? assets : std::vector<std::string>();
            if (c == ',')
                expect = open.back() == '{' ? Key : Value;
            else if ((c == '}' && open.back() == '{') || (c == ']' && open.back() == '['))
            {
                open.pop_back();
                keys.pop_back();
            }
            else
                return {};
            c = cursor.NextToken();
            continue;
        }
        if (expect == Key || expect == KeyOrEnd)
        {
            if (expect == KeyOrEnd && c == '}')
            {
                open.pop_back();
                keys.pop_back();
                expect = AfterValue;
                c = cursor.NextToken();
                continue;
            }
            std::string key;
            bool overlong = false;
            if (c != '"' || !ReadString(cursor, key, overlong) || cursor.NextToken() != ':')
                return {};
            // targets / framework / library / runtime or native / ASSET
            const bool asset =
                open == "{{{{{" && keys[0] == "targets" && (keys[3] == "runtime" || keys[3] == "native");
            if (asset)
            {
                if (overlong || key.empty() || assets.size() >= kMostDepsAssets)
                    return {};
                assets.push_back(key);
            }
            keys.back() = open.size() <= 5 ? std::move(key) : std::string();
            expect = Value;
            c = cursor.NextToken();
            continue;
        }
        // A value, or the end of an array.
        if (expect == ValueOrEnd && c == ']')
        {
            open.pop_back();
            keys.pop_back();
            expect = AfterValue;
            c = cursor.NextToken();
        }
        else if (c == '{' || c == '[')
        {
            if (open.size() >= kMostJsonDepth)
                return {};
            open.push_back(static_cast<char>(c));
            keys.emplace_back();
            expect = c == '{' ? KeyOrEnd : ValueOrEnd;
            c = cursor.NextToken();
        }
        else if (c == '"')
        {
            std::string text;
            bool overlong = false;
            if (!ReadString(cursor, text, overlong))
                return {};
            expect = AfterValue;
            c = cursor.NextToken();
        }
        else if (c != -1 && ReadScalar(cursor, c, c))
            expect = AfterValue;
        else
            return {};
    }
}
