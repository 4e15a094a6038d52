// Registry values by product index and section: QemReadRegEntry, QemSaveRegEntry.
#include "platform/qemcom95.h"
#include "platform/qem_internal.h"

#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace
{

struct ProductKey
{
    int product;
    const char* key;
};

// The maker's key holds one subkey per product; Orvenna's carries its version.
constexpr ProductKey kProductKeys[] = {
    {QEM_PRODUCT_ORVENNA, QEM_ORVENNA_KEY},
    {QEM_PRODUCT_TAMBRIL, "Software\\Tessaly Software Ltd\\Tambril"},
    {QEM_PRODUCT_QUORSET, "Software\\Tessaly Software Ltd\\Quorset"},
    {QEM_PRODUCT_WINZIP, "Software\\Tessaly Software Ltd\\WinZip"},
};

// The full key of a product's section, or nothing for an unknown product.
std::optional<std::string> SectionKey(int product, LPCSTR section)
{
    for (const ProductKey& entry : kProductKeys)
    {
        if (entry.product != product)
            continue;
        std::string key = entry.key;
        if (section && *section)
            key.append("\\").append(section);
        return key;
    }
    return std::nullopt;
}

// A value's type and bytes, or nothing when it is absent or unreadable.
struct StoredValue
{
    DWORD type = REG_NONE;
    std::vector<BYTE> bytes;
};

std::optional<StoredValue> QueryValue(HKEY key, LPCSTR name)
{
    StoredValue value;
    DWORD length = 0;
    if (RegQueryValueExA(key, name, nullptr, &value.type, nullptr, &length) != ERROR_SUCCESS)
        return std::nullopt;
    value.bytes.resize(length);
    if (RegQueryValueExA(key, name, nullptr, &value.type, value.bytes.data(), &length) != ERROR_SUCCESS)
        return std::nullopt;
    value.bytes.resize(length);
    return value;
}

// A one-byte number: one binary byte as written, or a DWORD that fits a byte (the
// form that registry editors offer for numbers).
std::optional<BYTE> NumberOf(const StoredValue& value)
{
    if (value.type == REG_BINARY && value.bytes.size() == 1)
        return value.bytes[0];
    if (value.type == REG_DWORD && value.bytes.size() == 4)
    {
        DWORD number;
        std::memcpy(&number, value.bytes.data(), sizeof number);
        if (number <= 0xFF)
            return static_cast<BYTE>(number);
    }
    return std::nullopt;
}

// The text of a string or binary value, up to its first terminator, if any: the stored
// data need not carry one.
std::optional<std::string> TextOf(const StoredValue& value)
{
    if (value.type != REG_SZ && value.type != REG_EXPAND_SZ && value.type != REG_BINARY)
        return std::nullopt;
    if (value.bytes.empty())
        return std::string();
    const char* text = reinterpret_cast<const char*>(value.bytes.data());
    return std::string(text, strnlen(text, value.bytes.size()));
}

// Copies at most size bytes, and a terminator when there is room for it: a caller that
// preloads a longer default must not see its tail after a shorter stored text.
void CopyText(const std::string& text, char* buffer, size_t size)
{
    size_t length = text.size() < size ? text.size() : size;
    std::memcpy(buffer, text.data(), length);
    if (length < size)
        buffer[length] = '\0';
}

} // namespace

int WINAPI QemReadRegEntry(LPCSTR section, LPCSTR valueName, LPVOID buffer, int size, int product)
{
    std::optional<std::string> keyName = SectionKey(product, section);
    if (!buffer || size < 0 || !keyName)
        return 0;
    RegKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyName->c_str(), 0, KEY_QUERY_VALUE, key.Out()) != ERROR_SUCCESS)
        return 0;
    std::optional<StoredValue> value = QueryValue(key.Get(), valueName);
    if (!value)
        return 0;

    if (size == 0)
    {
        std::optional<BYTE> number = NumberOf(*value);
        if (!number)
            return 0;
        *static_cast<BYTE*>(buffer) = *number;
        return 1;
    }
    std::optional<std::string> text = TextOf(*value);
    if (!text)
        return 0;
    CopyText(*text, static_cast<char*>(buffer), static_cast<size_t>(size));
    return 1;
}

int WINAPI QemSaveRegEntry(LPCSTR section, LPCSTR valueName, LPCVOID data, int size, int product)
{
    std::optional<std::string> keyName = SectionKey(product, section);
    if (!data || size < 0 || !keyName)
        return 0;
    RegKey key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyName->c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        key.Out(), nullptr) != ERROR_SUCCESS)
        return 0;

    LONG result;
    if (size == 0)
    {
        result = RegSetValueExA(key.Get(), valueName, 0, REG_BINARY, static_cast<const BYTE*>(data), 1);
    }
    else
    {
        // Copied so that the stored REG_SZ ends in its terminator: the platform would
        // otherwise read the byte after the caller's n bytes to decide whether to add one.
        const char* text = static_cast<const char*>(data);
        std::string stored(text, strnlen(text, static_cast<size_t>(size)));
        result =
            RegSetValueExA(key.Get(), valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(stored.c_str()),
                           static_cast<DWORD>(stored.size() + 1));
    }
    return result == ERROR_SUCCESS ? 1 : 0;
}
