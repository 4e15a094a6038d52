// Who links to whom, as one scan saw it, kept from that scan's start to the next so
// that its answer can be explained: the shortest chain that keeps a DLL off the list,
// or the listed DLLs that are all that link to a listed one. The walk and the
// cross-check record into it as they file; nothing here decides what is listed.
// Portable.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/link_kind.h"

// An examined file that links to a DLL directly: a program, or an other-format file
// that names it.
struct LinkSource
{
    const std::string* path = nullptr; // the file's full path, as the walk composed it
    bool program = false;
    std::string name; // an other-format file: the name as it stands in the file
    LinkKind kind = LinkKind::Import;
};

// A file the walk examined under a DLL's name. A host folder may hold names that
// differ only in case (case twins): each is a file of its own under the scan's one name.
struct WalkedCopy
{
    std::string shortPath;    // as the walk examined it; empty when spelt as the DLL's
    bool quickScan = false;   // whether its bytes were left unsearched
    bool modernLinks = false; // whether its import directories were read, not only .idata
    bool sized = false;       // whether size is known from the walk's listing
    std::uint64_t size = 0;
    std::uint32_t firstLink = 0; // its links within the DLL's links
    std::uint32_t linkCount = 0;
};

// A link from a DLL of the scan: the DLL it resolved to, by its place in the scan's
// order of DLLs (LinkedFiles), and how it was found.
struct FileLink
{
    int file = 0;
    LinkKind kind = LinkKind::Import;
};

// A DLL of the scan: one the library pass examined, or one something links to. A scan
// keeps a hundred thousand of them: what only a few carry is kept beside them.
struct LinkedFile
{
    std::string shortPath; // the scan's name for it
    // As the walk composed it, when that differs from shortPath (most composed paths are
    // their own short form); WalkedPath answers for both.
    std::string otherLongPath;
    bool walkedPathKnown = false; // the walk composed a path for it
    bool examined = false;        // by the library pass
    bool accepted = false;        // and read as a 32-bit executable: a candidate for the list
    bool pending = false;         // a DLL of the library pass filed a link to it as pending
    bool filed = false;           // its own links were filed as pending
    bool checked = false;         // worked off by the cross-check
    bool checkedAsWalked = false; // with the links the library pass recorded
    // What the references of each walked copy resolved to, one copy after the other.
    std::vector<FileLink> links;
    std::vector<WalkedCopy> walked;
    std::vector<FileLink> checkedLinks; // unless checkedAsWalked, what its references resolved to then
    int source = -1;                    // the first examined file that links to it directly
};

// The DLL's full path as the walk composed it; empty when it was not examined.
const std::string& WalkedPath(const LinkedFile& file);
// The shared-DLL register's value that took the DLL off the list; empty when none did.
const std::string& SharedValueOf(const LinkedFile& file);
// The first registry value that names the DLL (KEY\VALUE); empty when none does.
const std::string& RegistryValueOf(const LinkedFile& file);

void ForgetLinkGraph();

// The kind as the answers name it.
const char* LinkKindName(LinkKind kind);

// The readers of the file being read (examined or checked) note how each name was
// found, before the names are resolved; the first kind noted for a name stands, and
// a name noted by none was found by the byte search.
void NoteLinkKind(std::string_view name, LinkKind kind);
LinkKind LinkKindOf(std::string_view name);

// With 64-bit DLLs included, a file's width as the reader or the typing found it: 32,
// 64, or 0 for a file of neither; FileBits answers -1 for a file not noted.
void NoteFileBits(std::string_view shortPath, int bits);
int FileBits(std::string_view shortPath);

// The walk: the file it examines now, to which what it records next belongs.
void NoteExaminedFile(const char* shortPath, const char* path);
// The file under examination links directly to dll (a short path): a program by its
// imports or bytes, an other-format file by name, the name as found in it.
void RecordDirectLink(const char* dll, bool program, const char* name = "",
                      LinkKind kind = LinkKind::NamedInFile);
// The file under examination keeps import tables that the reading passed over: its
// links were not read, which the answers must not deny.
void RecordUnreadImportTables();
// Those files' paths, as the walk composed them, in the order examined.
std::vector<std::string> FilesWithUnreadImportTables();
// The file under examination was read as a library: what its references resolved to
// (beside those of a case twin recorded before, which the scan names alike, so that
// the answers name what either links to; a file examined again replaces its own), whether it was examined by
// the library pass, accepted as a candidate, and whether its links were filed as pending. size is its size
// when the walk's listing gave one; quickScan and modernLinks how it was read.
void RecordLibraryLinks(const std::vector<std::string>& links, const std::vector<LinkKind>& kinds,
                        bool libraryPass, bool accepted, bool filed, const std::uint64_t* size,
                        bool quickScan, bool modernLinks);

// What the walk recorded of one walked copy, for the cross-check, which would otherwise
// read the DLL again and resolve its names again from the same directory, to the same
// files.
struct RecalledLibrary
{
    std::string shortPath;
    std::vector<std::string> links;
};
// The copy that the platform opens for path (a short full path), when the walk read it
// with quickScan and modernLinks: the copy of exactly that path, else the only one
// equal to it without regard to case; false otherwise, also when case twins leave it
// open which file path names.
bool RecallLibrary(std::string_view path, bool quickScan, bool modernLinks, RecalledLibrary& recalled);
// The size of the DLL at path as the walk's listing gave it, when it did.
bool RecallListedSize(std::string_view path, std::uint64_t& size);

// The cross-check: the DLL it checks now, then each DLL that one's references resolved
// to, unless asWalked: it takes the links the library pass recorded for the DLL. A DLL
// checked again records nothing more.
void NoteCheckedLibrary(const char* shortPath, bool asWalked);
void RecordCheckedLink(const char* dll, LinkKind kind);
// The shared-DLL pass took dll off the list for the register's value valueName.
void RecordSharedDll(const char* dll, const char* valueName);
// The registry's value at valuePath (KEY\VALUE) names dll; the first one stands. As a
// link, the value is a source that dll's chains start from.
void RecordRegistryName(const char* dll, const char* valuePath, bool link);

// The DLL the scan names shortPath (case ignored), or nullptr.
const LinkedFile* FindLinkedFile(std::string_view shortPath);
// Every DLL of the scan, in the order it was first met.
std::vector<const LinkedFile*> LinkedFiles();
// A shortest chain the cross-check could follow to shortPath: from the DLL a source
// links to directly, through DLLs each of which links to the next, which a DLL of the
// library pass had linked to as well; kinds[i] is how chain[i] is linked to (from the
// source, then from chain[i - 1]). False when there is none.
bool ShortestLinkChain(std::string_view shortPath, const LinkSource*& source,
                       std::vector<const LinkedFile*>& chain, std::vector<LinkKind>& kinds);
// The DLLs but shortPath itself whose links, filed as pending during the walk, include
// shortPath.
std::vector<const LinkedFile*> LinkingLibraries(std::string_view shortPath);
// How library's links, as the walk recorded them, link to shortPath.
LinkKind KindOfLibraryLink(const LinkedFile& library, std::string_view shortPath);
