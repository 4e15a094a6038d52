#include "engine/registry_names.h"

#include "engine/path_parts.h"

namespace
{

bool CutsText(char16_t c)
{
    return c < 0x20 || std::u16string_view(u"\",;=@<>|*?").find(c) != std::u16string_view::npos;
}

bool EndsName(std::u16string_view piece, std::size_t at)
{
    return at == piece.size() || piece[at] == u' ' || piece[at] == u'/' || piece[at] == u')';
}

char16_t LowerAscii(char16_t c)
{
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + (u'a' - u'A')) : c;
}

// The length of the module extension that follows the '.' at dot, or 0.
std::size_t ExtensionAfter(std::u16string_view piece, std::size_t dot)
{
    for (std::u16string_view extension : kRegistryModuleExtensions)
    {
        if (piece.size() - dot - 1 < extension.size())
            continue;
        bool same = true;
        for (std::size_t i = 0; i < extension.size() && same; i++)
            same = LowerAscii(piece[dot + 1 + i]) == extension[i];
        if (same && EndsName(piece, dot + 1 + extension.size()))
            return extension.size();
    }
    return 0;
}

bool IsDriveAt(std::u16string_view text, std::size_t at)
{
    const char16_t letter = LowerAscii(text[at]);
    return at + 2 < text.size() && letter >= u'a' && letter <= u'z' && text[at + 1] == u':' &&
           (text[at + 2] == u'\\' || text[at + 2] == u'/');
}

// The name that ends at end, looked for from start on; empty when there is none.
std::u16string_view NameEndingAt(std::u16string_view piece, std::size_t start, std::size_t end)
{
    std::u16string_view stretch = piece.substr(start, end - start);
    for (std::size_t at = stretch.size(); at-- > 0;)
        if (IsDriveAt(stretch, at))
            return stretch.substr(at);
    const std::size_t blank = stretch.find_last_of(u' ');
    std::u16string_view name = blank == std::u16string_view::npos ? stretch : stretch.substr(blank + 1);
    const std::size_t separator = name.find_last_of(u"\\/");
    if (separator == std::u16string_view::npos)
        return name;
    return name.front() == u'%' ? name.substr(separator + 1) : std::u16string_view();
}

void FindInPiece(std::u16string_view piece, const RegistryNameSink& sink)
{
    std::size_t start = 0;
    for (std::size_t dot = piece.find(u'.'); dot != std::u16string_view::npos;
         dot = piece.find(u'.', dot + 1))
    {
        const std::size_t extension = ExtensionAfter(piece, dot);
        if (extension == 0)
            continue;
        const std::size_t end = dot + 1 + extension;
        const std::u16string_view name = NameEndingAt(piece, start, end);
        start = end;
        // A name is more than its extension, and no longer than a path.
        if (name.size() > extension + 1 && name.size() <= kMaxPathLength &&
            name[name.size() - extension - 2] != u'\\' && name[name.size() - extension - 2] != u'/' &&
            name[name.size() - extension - 2] != u':')
            sink(name);
    }
}

} // namespace

void FindRegistryModuleNames(std::u16string_view text, const RegistryNameSink& sink)
{
    std::size_t start = 0;
    while (start <= text.size())
    {
        std::size_t end = start;
        while (end < text.size() && !CutsText(text[end]))
            end++;
        if (end > start)
            FindInPiece(text.substr(start, end - start), sink);
        start = end + 1;
    }
}

void FindRegistryModuleNamesInData(std::u16string_view data, bool multi, const RegistryNameSink& sink)
{
    while (!data.empty())
    {
        const std::size_t zero = data.find(u'\0');
        FindRegistryModuleNames(data.substr(0, zero), sink);
        if (!multi || zero == std::u16string_view::npos)
            return;
        data.remove_prefix(zero + 1);
    }
}
