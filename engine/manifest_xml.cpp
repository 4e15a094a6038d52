#include "engine/manifest_xml.h"

#include <array>
#include <cstdint>

namespace
{

// The document as bytes of one width: UTF-16 narrowed, a character beyond one byte
// kept as '?', which no name the reader compares holds.
std::string Narrow(std::string_view text)
{
    if (text.size() >= 2 && static_cast<unsigned char>(text[0]) == 0xFF &&
        static_cast<unsigned char>(text[1]) == 0xFE)
    {
        std::string narrow;
        narrow.reserve(text.size() / 2);
        for (std::size_t i = 2; i + 1 < text.size(); i += 2)
            narrow += text[i + 1] == 0 ? text[i] : '?';
        return narrow;
    }
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    return std::string(text);
}

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool IsNameChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == ':' || c == '-' || c == '.' || static_cast<unsigned char>(c) >= 0x80;
}

std::string_view LocalName(std::string_view name)
{
    const std::size_t colon = name.rfind(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

// Replaces the five predefined entities and character references; false for any other.
bool Unescape(std::string_view raw, std::string& out)
{
    out.clear();
    for (std::size_t i = 0; i < raw.size(); i++)
    {
        if (raw[i] != '&')
        {
            out += raw[i];
            continue;
        }
        const std::size_t end = raw.find(';', i);
        if (end == std::string_view::npos)
            return false;
        const std::string_view entity = raw.substr(i + 1, end - i - 1);
        static const std::array<std::pair<std::string_view, char>, 5> kEntities = {
            {{"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}}};
        bool known = false;
        for (const auto& [name, c] : kEntities)
            if (entity == name)
            {
                out += c;
                known = true;
            }
        if (!known && entity.size() >= 2 && entity[0] == '#')
        {
            const bool hex = entity[1] == 'x';
            std::uint32_t value = 0;
            std::size_t digits = 0;
            for (char c : entity.substr(hex ? 2 : 1))
            {
                int digit = c >= '0' && c <= '9'                            ? c - '0'
                            : hex && (c | 0x20) >= 'a' && (c | 0x20) <= 'f' ? (c | 0x20) - 'a' + 10
                                                                            : -1;
                if (digit < 0 || ++digits > 6)
                    return false;
                value = value * (hex ? 16 : 10) + static_cast<std::uint32_t>(digit);
            }
            if (digits == 0)
                return false;
            out += value < 0x80 ? static_cast<char>(value) : '?';
            known = true;
        }
        if (!known)
            return false;
        i = end;
    }
    return true;
}

struct Attribute
{
    std::string_view name;
    std::string value;
};

class Reader
{
public:
    Reader(std::string_view text, Manifest& manifest) : text_(text), manifest_(manifest) {}

    bool Read()
    {
        bool rootSeen = false;
        while (pos_ < text_.size())
        {
            const std::size_t open = text_.find('<', pos_);
            std::string unused;
            const std::string_view between =
                text_.substr(pos_, open == std::string_view::npos ? open : open - pos_);
            if (!Unescape(between, unused))
                return false;
            // Only blanks may stand outside the root element.
            if (stack_.empty())
                for (char c : between)
                    if (!IsSpace(c))
                        return false;
            if (open == std::string_view::npos)
                break;
            pos_ = open;
            if (Skip("<?", "?>") || Skip("<!--", "-->") || (!stack_.empty() && Skip("<![CDATA[", "]]>")))
                continue;
            if (text_.substr(pos_).starts_with("<!"))
                return false;
            if (text_.substr(pos_).starts_with("</"))
            {
                if (!EndTag())
                    return false;
                continue;
            }
            if (stack_.empty() && rootSeen)
                return false;
            rootSeen = true;
            if (!StartTag())
                return false;
        }
        return !broken_ && rootSeen && stack_.empty();
    }

private:
    // Skips a construct that opens with open and ends with close; false when it does not
    // open here. One that never closes breaks the document.
    bool Skip(std::string_view open, std::string_view close)
    {
        if (!text_.substr(pos_).starts_with(open))
            return false;
        const std::size_t end = text_.find(close, pos_ + open.size());
        broken_ = end == std::string_view::npos;
        pos_ = broken_ ? text_.size() : end + close.size();
        return true;
    }

    std::string_view Name()
    {
        const std::size_t start = pos_;
        while (pos_ < text_.size() && IsNameChar(text_[pos_]))
            pos_++;
        return text_.substr(start, pos_ - start);
    }

    void Blanks()
    {
        while (pos_ < text_.size() && IsSpace(text_[pos_]))
            pos_++;
    }

    bool EndTag()
    {
        pos_ += 2;
        const std::string_view name = Name();
        Blanks();
        if (stack_.empty() || name != stack_.back() || pos_ >= text_.size() || text_[pos_] != '>')
            return false;
        pos_++;
        stack_.pop_back();
        return true;
    }

    bool StartTag()
    {
        pos_++;
        const std::string_view name = Name();
        if (name.empty())
            return false;
        std::vector<Attribute> attributes;
        for (;;)
        {
            const std::size_t before = pos_;
            Blanks();
            if (pos_ >= text_.size())
                return false;
            if (text_[pos_] == '>' || text_.substr(pos_).starts_with("/>"))
                break;
            if (pos_ == before)
                return false;
            Attribute attribute;
            attribute.name = Name();
            Blanks();
            if (attribute.name.empty() || pos_ >= text_.size() || text_[pos_] != '=')
                return false;
            pos_++;
            Blanks();
            if (pos_ >= text_.size() || (text_[pos_] != '"' && text_[pos_] != '\''))
                return false;
            const std::size_t close = text_.find(text_[pos_], pos_ + 1);
            if (close == std::string_view::npos)
                return false;
            const std::string_view raw = text_.substr(pos_ + 1, close - pos_ - 1);
            if (raw.find('<') != std::string_view::npos || !Unescape(raw, attribute.value))
                return false;
            // Each is compared with those before it: a crafted element of thousands would
            // cost their square, and no manifest element has more than a few.
            if (attributes.size() >= kMostManifestAttributes)
                return false;
            for (const Attribute& other : attributes)
                if (other.name == attribute.name)
                    return false;
            pos_ = close + 1;
            attributes.push_back(std::move(attribute));
        }
        const bool empty = text_[pos_] == '/';
        pos_ += empty ? 2 : 1;
        if (stack_.size() >= kDeepestManifestElement)
            return false;
        stack_.push_back(name);
        Take(attributes);
        if (empty)
            stack_.pop_back();
        return true;
    }

    // Whether the open elements, innermost last, end with path (local names).
    bool Within(std::initializer_list<std::string_view> path) const
    {
        if (stack_.size() < path.size())
            return false;
        std::size_t i = stack_.size() - path.size();
        for (std::string_view name : path)
            if (LocalName(stack_[i++]) != name)
                return false;
        return true;
    }

    static const std::string* Value(const std::vector<Attribute>& attributes, std::string_view name)
    {
        for (const Attribute& attribute : attributes)
            if (LocalName(attribute.name) == name)
                return &attribute.value;
        return nullptr;
    }

    static AssemblyIdentity Identity(const std::vector<Attribute>& attributes)
    {
        AssemblyIdentity identity;
        const std::pair<std::string_view, std::string*> fields[] = {
            {"name", &identity.name},
            {"version", &identity.version},
            {"processorArchitecture", &identity.architecture},
            {"publicKeyToken", &identity.publicKeyToken},
            {"language", &identity.language}};
        for (const auto& [name, field] : fields)
            if (const std::string* value = Value(attributes, name))
                *field = *value;
        return identity;
    }

    void Take(const std::vector<Attribute>& attributes)
    {
        if (stack_.size() == 2 && Within({"assembly", "assemblyIdentity"}))
            manifest_.identity = Identity(attributes);
        else if (Within({"dependency", "dependentAssembly", "assemblyIdentity"}) &&
                 manifest_.dependencies.size() < kMostManifestEntries)
            manifest_.dependencies.push_back(Identity(attributes));
        else if (stack_.size() == 2 && Within({"assembly", "file"}) &&
                 manifest_.files.size() < kMostManifestEntries)
        {
            if (const std::string* name = Value(attributes, "name"))
                manifest_.files.push_back(*name);
        }
        else if (Within({"dependentAssembly", "bindingRedirect"}) &&
                 manifest_.redirects.size() < kMostManifestEntries)
        {
            const std::string* from = Value(attributes, "oldVersion");
            const std::string* to = Value(attributes, "newVersion");
            if (from && to)
                manifest_.redirects.push_back({*from, *to});
        }
    }

    std::string_view text_;
    Manifest& manifest_;
    std::size_t pos_ = 0;
    bool broken_ = false;
    std::vector<std::string_view> stack_;
};

} // namespace

bool ParseManifest(std::string_view text, Manifest& manifest)
{
    manifest = Manifest();
    const std::string narrow = Narrow(text);
    Reader reader(narrow, manifest);
    if (!reader.Read())
    {
        manifest = Manifest();
        return false;
    }
    return true;
}

bool ParseVersion(std::string_view version, std::array<std::uint32_t, 4>& parts)
{
    std::size_t part = 0;
    parts = {};
    bool digit = false;
    for (char c : version)
    {
        if (c == '.')
        {
            if (!digit || ++part >= 4)
                return false;
            digit = false;
        }
        else if (c >= '0' && c <= '9' && parts[part] <= 65535)
        {
            parts[part] = parts[part] * 10 + static_cast<std::uint32_t>(c - '0');
            digit = true;
        }
        else
            return false;
    }
    return digit && part == 3;
}

bool VersionInRange(std::string_view version, std::string_view range)
{
    const std::size_t dash = range.find('-');
    const std::string_view low = range.substr(0, dash);
    const std::string_view high = dash == std::string_view::npos ? low : range.substr(dash + 1);
    std::array<std::uint32_t, 4> v{}, a{}, b{};
    return ParseVersion(version, v) && ParseVersion(low, a) && ParseVersion(high, b) && a <= v && v <= b;
}
