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
    std::string path; // the file's full path, as the walk composed it
    bool program = false;
    std::string name; // an other-format file: the name as it stands in the file
    LinkKind kind = LinkKind::Import;
};

// A DLL of the scan: one the library pass examined, or one something links to.
struct LinkedFile
{
    std::string shortPath; // the scan's name for it
    std::string longPath;  // as the walk composed it; empty when it was not examined
    bool examined = false; // by the library pass
    bool accepted = false; // and read as a 32-bit executable: a candidate for the list
    bool sized = false;    // whether size is known from the walk's listing
    std::uint64_t size = 0;
    bool pending = false;            // a DLL of the library pass filed a link to it as pending
    bool filed = false;              // its own links were filed as pending
    std::vector<int> links;          // the library pass: the DLLs its references resolved to
    std::vector<LinkKind> linkKinds; // beside links: how each was found
    bool checked = false;            // worked off by the cross-check
    bool checkedAsWalked = false;    // with the links the library pass recorded
    std::vector<int> checkedLinks;   // else what its references resolved to then
    std::vector<LinkKind> checkedLinkKinds;
    int source = -1;         // the first examined file that links to it directly
    std::string sharedValue; // the shared-DLL register's value that took it off the list
};

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
const std::vector<std::string>& FilesWithUnreadImportTables();
// The file under examination was read as a library: what its references resolved to
// (added to those of a case twin recorded before, which the scan names alike),
// whether it was examined by the library pass, accepted as a candidate, and whether its
// links were filed as pending. size is its size when the walk's listing gave one.
void RecordLibraryLinks(const std::vector<std::string>& links, const std::vector<LinkKind>& kinds,
                        bool libraryPass, bool accepted, bool filed, const std::uint64_t* size);

// The cross-check: the DLL it checks now, then each DLL that one's references resolved
// to, unless asWalked: it takes the links the library pass recorded for the DLL. A DLL
// checked again records nothing more.
void NoteCheckedLibrary(const char* shortPath, bool asWalked);
void RecordCheckedLink(const char* dll, LinkKind kind);
// The shared-DLL pass took dll off the list for the register's value valueName.
void RecordSharedDll(const char* dll, const char* valueName);

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
