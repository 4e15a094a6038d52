#include "engine/clr_metadata.h"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "engine/pe_imports.h"
#include "engine/pe_layout.h"

namespace
{

using namespace pe_layout;

constexpr std::uint64_t kClrMetadataOffset = 8;
constexpr std::uint32_t kMetadataSignature = 0x424A5342; // "BSJB"
constexpr std::uint64_t kVersionLengthOffset = 12;
constexpr std::uint32_t kMostVersionLength = 256;
constexpr std::uint16_t kMostStreams = 64;
constexpr std::uint64_t kStreamNameScan = 32;
constexpr std::uint64_t kTablesHeaderSize = 24;
constexpr std::uint8_t kWideStrings = 0x01, kWideGuids = 0x02, kWideBlobs = 0x04, kExtraData = 0x40;
constexpr std::uint32_t kMostRows = 1u << 24;

// The tables up to File, the last one read; those after it lie beyond and are not sized.
enum Table : std::uint8_t
{
    kModule = 0x00,
    kTypeRef,
    kTypeDef,
    kFieldPtr,
    kField,
    kMethodPtr,
    kMethodDef,
    kParamPtr,
    kParam,
    kInterfaceImpl,
    kMemberRef,
    kConstant,
    kCustomAttribute,
    kFieldMarshal,
    kDeclSecurity,
    kClassLayout,
    kFieldLayout,
    kStandAloneSig,
    kEventMap,
    kEventPtr,
    kEvent,
    kPropertyMap,
    kPropertyPtr,
    kProperty,
    kMethodSemantics,
    kMethodImpl,
    kModuleRef,
    kTypeSpec,
    kImplMap,
    kFieldRva,
    kEncLog,
    kEncMap,
    kAssembly,
    kAssemblyProcessor,
    kAssemblyOs,
    kAssemblyRef,
    kAssemblyRefProcessor,
    kAssemblyRefOs,
    kFile,
    kExportedType,
    kManifestResource,
    kNestedClass,
    kGenericParam,
    kMethodSpec,
    kGenericParamConstraint,
    kTableCount
};

// A coded index: its tag bits and the tables it may point into (0xFF: a tag no table uses).
struct Coded
{
    unsigned bits;
    std::vector<std::uint8_t> tables;
};
const Coded kTypeDefOrRef{2, {kTypeDef, kTypeRef, kTypeSpec}};
const Coded kHasConstant{2, {kField, kParam, kProperty}};
const Coded kHasCustomAttribute{5, {kMethodDef,        kField,        kTypeRef,
                                    kTypeDef,          kParam,        kInterfaceImpl,
                                    kMemberRef,        kModule,       kDeclSecurity,
                                    kProperty,         kEvent,        kStandAloneSig,
                                    kModuleRef,        kTypeSpec,     kAssembly,
                                    kAssemblyRef,      kFile,         kExportedType,
                                    kManifestResource, kGenericParam, kGenericParamConstraint,
                                    kMethodSpec}};
const Coded kHasFieldMarshal{1, {kField, kParam}};
const Coded kHasDeclSecurity{2, {kTypeDef, kMethodDef, kAssembly}};
const Coded kMemberRefParent{3, {kTypeDef, kTypeRef, kModuleRef, kMethodDef, kTypeSpec}};
const Coded kHasSemantics{1, {kEvent, kProperty}};
const Coded kMethodDefOrRef{1, {kMethodDef, kMemberRef}};
const Coded kMemberForwarded{1, {kField, kMethodDef}};
const Coded kCustomAttributeType{3, {0xFF, 0xFF, kMethodDef, kMemberRef, 0xFF}};
const Coded kResolutionScope{2, {kModule, kModuleRef, kAssemblyRef, kTypeRef}};

// A column: fixed bytes, a heap index, a table index or a coded index.
struct Column
{
    enum Kind : std::uint8_t
    {
        Fixed,
        Strings,
        Guids,
        Blobs,
        Index,
        CodedIndex
    } kind;
    std::uint8_t value = 0; // bytes of a fixed column, table of an index
    const Coded* coded = nullptr;
};
constexpr Column F2{Column::Fixed, 2}, F4{Column::Fixed, 4}, S{Column::Strings}, G{Column::Guids},
    B{Column::Blobs};
constexpr Column T(std::uint8_t table)
{
    return {Column::Index, table};
}
Column C(const Coded& coded)
{
    return {Column::CodedIndex, 0, &coded};
}

const std::array<std::vector<Column>, kFile + 1>& Schema()
{
    static const std::array<std::vector<Column>, kFile + 1> schema = {{
        {F2, S, G, G, G},                                       // Module
        {C(kResolutionScope), S, S},                            // TypeRef
        {F4, S, S, C(kTypeDefOrRef), T(kField), T(kMethodDef)}, // TypeDef
        {T(kField)},                                            // FieldPtr
        {F2, S, B},                                             // Field
        {T(kMethodDef)},                                        // MethodPtr
        {F4, F2, F2, S, B, T(kParam)},                          // MethodDef
        {T(kParam)},                                            // ParamPtr
        {F2, F2, S},                                            // Param
        {T(kTypeDef), C(kTypeDefOrRef)},                        // InterfaceImpl
        {C(kMemberRefParent), S, B},                            // MemberRef
        {F2, C(kHasConstant), B},                               // Constant
        {C(kHasCustomAttribute), C(kCustomAttributeType), B},   // CustomAttribute
        {C(kHasFieldMarshal), B},                               // FieldMarshal
        {F2, C(kHasDeclSecurity), B},                           // DeclSecurity
        {F2, F4, T(kTypeDef)},                                  // ClassLayout
        {F4, T(kField)},                                        // FieldLayout
        {B},                                                    // StandAloneSig
        {T(kTypeDef), T(kEvent)},                               // EventMap
        {T(kEvent)},                                            // EventPtr
        {F2, S, C(kTypeDefOrRef)},                              // Event
        {T(kTypeDef), T(kProperty)},                            // PropertyMap
        {T(kProperty)},                                         // PropertyPtr
        {F2, S, B},                                             // Property
        {F2, T(kMethodDef), C(kHasSemantics)},                  // MethodSemantics
        {T(kTypeDef), C(kMethodDefOrRef), C(kMethodDefOrRef)},  // MethodImpl
        {S},                                                    // ModuleRef
        {B},                                                    // TypeSpec
        {F2, C(kMemberForwarded), S, T(kModuleRef)},            // ImplMap
        {F4, T(kField)},                                        // FieldRVA
        {F4, F4},                                               // ENCLog
        {F4},                                                   // ENCMap
        {F4, F2, F2, F2, F2, F4, B, S, S},                      // Assembly
        {F4},                                                   // AssemblyProcessor
        {F4, F4, F4},                                           // AssemblyOS
        {F2, F2, F2, F2, F4, B, S, S, B},                       // AssemblyRef
        {F4, T(kAssemblyRef)},                                  // AssemblyRefProcessor
        {F4, F4, F4, T(kAssemblyRef)},                          // AssemblyRefOS
        {F4, S, B},                                             // File
    }};
    return schema;
}

struct Tables
{
    std::array<std::uint32_t, 64> rows{};
    std::uint8_t heapSizes = 0;
    std::array<std::uint64_t, kFile + 1> offset{}; // of each table, in the file
    std::array<std::uint32_t, kFile + 1> rowSize{};
    std::uint64_t stringsOffset = 0, stringsSize = 0;

    unsigned Width(const Column& column) const
    {
        switch (column.kind)
        {
        case Column::Fixed: return column.value;
        case Column::Strings: return heapSizes & kWideStrings ? 4 : 2;
        case Column::Guids: return heapSizes & kWideGuids ? 4 : 2;
        case Column::Blobs: return heapSizes & kWideBlobs ? 4 : 2;
        case Column::Index: return rows[column.value] < 0x10000 ? 2 : 4;
        case Column::CodedIndex: break;
        }
        std::uint32_t most = 0;
        for (std::uint8_t table : column.coded->tables)
            if (table != 0xFF)
                most = std::max(most, rows[table]);
        return most < (1u << (16 - column.coded->bits)) ? 2 : 4;
    }
};

// A column's value from a row's bytes.
std::uint32_t ColumnValue(ByteSpan row, unsigned at, unsigned width)
{
    std::uint16_t narrow = 0;
    std::uint32_t wide = 0;
    if (width == 2)
        return ReadU16(row, at, narrow) ? narrow : 0;
    return ReadU32(row, at, wide) ? wide : 0;
}

// Where the metadata's table stream and string heap lie; false when the root or a
// stream does not lie inside the metadata.
template <typename Source>
bool FindStreams(Source& source, std::uint64_t root, std::uint32_t size, std::uint64_t& tables,
                 std::uint64_t& tablesSize, Tables& layout)
{
    std::uint32_t signature = 0, versionLength = 0;
    std::uint16_t streams = 0;
    if (!FetchU32(source, root, signature) || signature != kMetadataSignature ||
        !FetchU32(source, root + kVersionLengthOffset, versionLength) || versionLength > kMostVersionLength)
        return false;
    std::uint64_t at = kVersionLengthOffset + 4 + ((versionLength + 3) & ~3u);
    if (!FetchU16(source, root + at + 2, streams))
        return false;
    at += 4;
    bool haveTables = false, haveStrings = false;
    for (std::uint16_t i = 0; i < std::min(streams, kMostStreams) && at + 8 < size; i++)
    {
        std::uint32_t offset = 0, length = 0;
        if (!FetchU32(source, root + at, offset) || !FetchU32(source, root + at + 4, length))
            return false;
        ByteSpan name = source.Fetch(root + at + 8, std::min<std::uint64_t>(kStreamNameScan, size - at - 8));
        auto zero = std::find(name.begin(), name.end(), std::uint8_t{0});
        if (name.empty() || zero == name.end())
            return false;
        const std::string_view text(reinterpret_cast<const char*>(name.data()),
                                    static_cast<std::size_t>(zero - name.begin()));
        if (offset > size || length > size - offset)
            return false;
        if ((text == "#~" || text == "#-") && !haveTables)
        {
            haveTables = true;
            tables = root + offset;
            tablesSize = length;
        }
        else if (text == "#Strings" && !haveStrings)
        {
            haveStrings = true;
            layout.stringsOffset = root + offset;
            layout.stringsSize = length;
        }
        at += 8 + ((text.size() + 4) & ~std::uint64_t{3});
    }
    return haveTables;
}

// The tables' row counts and where each table up to File lies; false when the counts
// are out of range or the tables overrun their stream.
template <typename Source>
bool LayTables(Source& source, std::uint64_t stream, std::uint64_t size, Tables& layout)
{
    ByteSpan header = source.Fetch(stream, kTablesHeaderSize);
    std::uint32_t low = 0, high = 0;
    if (header.size() != kTablesHeaderSize || !ReadU32(header, 8, low) || !ReadU32(header, 12, high))
        return false;
    layout.heapSizes = header[6];
    const std::uint64_t valid = std::uint64_t{high} << 32 | low;
    std::uint64_t at = kTablesHeaderSize;
    for (unsigned table = 0; table < 64; table++)
    {
        if (!(valid >> table & 1))
            continue;
        if (!FetchU32(source, stream + at, layout.rows[table]) || layout.rows[table] > kMostRows)
            return false;
        at += 4;
    }
    if (layout.heapSizes & kExtraData)
        at += 4;
    for (unsigned table = 0; table <= kFile; table++)
    {
        unsigned width = 0;
        for (const Column& column : Schema()[table])
            width += layout.Width(column);
        layout.rowSize[table] = width;
        layout.offset[table] = stream + at;
        at += std::uint64_t{layout.rows[table]} * width;
        if (at > size)
            return false;
    }
    return true;
}

// The heap string at index, empty when it is not a usable name.
template <typename Source>
std::string_view HeapString(Source& source, const Tables& layout, std::uint32_t index)
{
    if (index == 0 || index >= layout.stringsSize)
        return {};
    ByteSpan window = source.Fetch(layout.stringsOffset + index,
                                   std::min<std::uint64_t>(kModuleNameScan, layout.stringsSize - index));
    auto zero = std::find(window.begin(), window.end(), std::uint8_t{0});
    if (zero == window.end())
        return {};
    return std::string_view(reinterpret_cast<const char*>(window.data()),
                            static_cast<std::size_t>(zero - window.begin()));
}

// A row's bytes and the offset of each of its columns.
template <typename Source> class RowReader
{
public:
    RowReader(Source& source, const Tables& layout, unsigned table)
        : source_(source), layout_(layout), table_(table)
    {
        unsigned at = 0;
        for (const Column& column : Schema()[table])
        {
            starts_.push_back(at);
            widths_.push_back(layout.Width(column));
            at += widths_.back();
        }
    }
    std::uint32_t Count() const { return std::min(layout_.rows[table_], kMostClrRows); }
    // False when the row cannot be read.
    bool Read(std::uint32_t row)
    {
        bytes_ = source_.Fetch(layout_.offset[table_] + std::uint64_t{row} * layout_.rowSize[table_],
                               layout_.rowSize[table_]);
        return bytes_.size() == layout_.rowSize[table_];
    }
    std::uint32_t operator[](std::size_t column) const
    {
        return ColumnValue(bytes_, starts_[column], widths_[column]);
    }

private:
    Source& source_;
    const Tables& layout_;
    unsigned table_;
    std::vector<unsigned> starts_, widths_;
    ByteSpan bytes_;
};

constexpr std::size_t kAssemblyRefName = 6, kAssemblyRefCulture = 7, kImplMapScope = 3, kModuleRefName = 0,
                      kFileName = 1;

template <typename Source> int ParseFrom(Source& source, const ClrNameSink& sink)
{
    PeHeaders pe;
    if (!ReadPeHeaders(source, pe) || pe.optionalMagic != kPe32Magic)
        return -1;
    if (pe.clrRva == 0)
        return 0;
    SectionMap<Source> sections(source, pe);
    std::uint64_t header = 0, root = 0;
    std::uint32_t metadataRva = 0, metadataSize = 0;
    if (!sections(pe.clrRva, header) || !FetchU32(source, header + kClrMetadataOffset, metadataRva) ||
        !FetchU32(source, header + kClrMetadataOffset + 4, metadataSize) || !sections(metadataRva, root) ||
        root > source.Size() || metadataSize > source.Size() - root)
        return -1;
    Tables layout;
    std::uint64_t stream = 0, streamSize = 0;
    if (!FindStreams(source, root, metadataSize, stream, streamSize, layout) ||
        !LayTables(source, stream, stream + streamSize, layout))
        return -1;

    int handedOn = 0;
    RowReader<Source> assemblies(source, layout, kAssemblyRef);
    for (std::uint32_t row = 0; row < assemblies.Count(); row++)
    {
        if (!assemblies.Read(row))
            return -1;
        // A fetch gives up the row's bytes: both indexes are taken first.
        const std::uint32_t nameIndex = assemblies[kAssemblyRefName];
        const std::string culture(HeapString(source, layout, assemblies[kAssemblyRefCulture]));
        if (const std::string_view name = HeapString(source, layout, nameIndex); !name.empty())
        {
            sink(ClrName::Assembly, name, culture);
            handedOn++;
        }
    }

    // Rows of ModuleRef that a P/Invoke declaration loads, each handed on once.
    const std::uint32_t moduleRows = std::min(layout.rows[kModuleRef], kMostClrRows);
    std::vector<bool> loaded(moduleRows);
    RowReader<Source> imports(source, layout, kImplMap);
    for (std::uint32_t row = 0; row < imports.Count(); row++)
    {
        if (!imports.Read(row))
            return -1;
        const std::uint32_t scope = imports[kImplMapScope];
        if (scope >= 1 && scope <= moduleRows)
            loaded[scope - 1] = true;
    }
    RowReader<Source> modules(source, layout, kModuleRef);
    for (std::uint32_t row = 0; row < moduleRows; row++)
    {
        if (!loaded[row])
            continue;
        if (!modules.Read(row))
            return -1;
        if (const std::string_view name = HeapString(source, layout, modules[kModuleRefName]); !name.empty())
        {
            sink(ClrName::NativeModule, name, {});
            handedOn++;
        }
    }

    RowReader<Source> files(source, layout, kFile);
    for (std::uint32_t row = 0; row < files.Count(); row++)
    {
        if (!files.Read(row))
            return -1;
        if (const std::string_view name = HeapString(source, layout, files[kFileName]); !name.empty())
        {
            sink(ClrName::File, name, {});
            handedOn++;
        }
    }
    return handedOn;
}

} // namespace

bool HasClrHeader(PagedBytes& bytes)
{
    PeHeaders pe;
    return ReadPeHeaders(bytes, pe) && pe.optionalMagic == kPe32Magic && pe.clrRva != 0;
}

int ParseClrMetadata(ByteSpan bytes, const ClrNameSink& sink)
{
    SpanSource source(bytes);
    return ParseFrom(source, sink);
}

int ParseClrMetadata(PagedBytes& bytes, const ClrNameSink& sink)
{
    return ParseFrom(bytes, sink);
}
