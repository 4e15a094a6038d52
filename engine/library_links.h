// What each DLL examined by the walk refers to, resolved, kept for the cross-check:
// the cross-check would otherwise read every linked DLL again and resolve its names
// again from the same directory, to the same files. Portable.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

struct LibraryLinks
{
    std::string shortPath;          // the DLL's short full path, as the walk examined it
    bool quickScan = false;         // whether its bytes were searched too (0) or not (1)
    std::vector<std::string> links; // the DLLs its references resolved to, in filing order
    bool sized = false;             // whether size was known from the walk's listing
    std::uint64_t size = 0;
    bool modernLinks = false; // whether its import directories were read (1) or .idata (0)
};

// The records of a scan, by upper-case short path. A host folder may hold names that
// differ only in case (case twins): each is a file of its own, with a record of its own
// in the slot they share.
using LibraryRecords = std::unordered_map<std::string, std::vector<LibraryLinks>>;

// Keeps what the DLL at shortPath refers to; a DLL examined again replaces its record.
void RememberLibraryLinks(LibraryRecords& records, LibraryLinks record);
// The record of the file that the platform opens for path (a short full path), when
// the walk made it with the same Quick Scan and Read Modern Links settings: the
// record of exactly that path, else the only one equal to it without regard to case;
// nullptr otherwise, also when case twins leave it open which file path names.
const LibraryLinks* RecallLibraryLinks(const LibraryRecords& records, std::string_view path, bool quickScan,
                                       bool modernLinks);
// The records of every file whose short path equals path without regard to case but
// for the one exactly at exclude, copied.
std::vector<LibraryLinks> RecallCaseTwins(const LibraryRecords& records, std::string_view path,
                                          std::string_view exclude);
// The size of the DLL at path as the walk's listing gave it, when it did.
bool RecallListedSize(const LibraryRecords& records, std::string_view path, std::uint64_t& size);
