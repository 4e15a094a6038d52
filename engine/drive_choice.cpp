// Which drives the drive phase walks. Under Wine a drive may map the host's root
// directory (a fresh prefix's Z:): that is the whole host, other users' files
// included, not a Windows drive, and a scan of it would offer host files for deletion.
#include <windows.h>

#include <string>

#include "engine/engine.h"
#include "engine/scan_state.h"
#include "platform/scoped_handle.h"

namespace
{

unsigned DriveBit(int drive)
{
    return 1u << (drive - 1);
}

bool RunsUnderWine()
{
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

bool IdentifyDirectory(const char* path, BY_HANDLE_FILE_INFORMATION& info)
{
    FileHandle directory(CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                     OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return directory.IsValid() && GetFileInformationByHandle(directory.handle, &info);
}

std::string Letters(unsigned drives, const char* after)
{
    std::string letters;
    for (int drive = 3; drive <= 26; drive++)
        if (drives & DriveBit(drive))
            letters += std::string(1, static_cast<char>('@' + drive)) + after;
    return letters;
}

} // namespace

bool IsHostRootDrive(int drive)
{
    if (!RunsUnderWine())
        return false;
    // Wine's own name for the host's root, whatever links lead a drive there.
    const char root[4] = {static_cast<char>('@' + drive), ':', '\\', '\0'};
    BY_HANDLE_FILE_INFORMATION host, mapped;
    return IdentifyDirectory("\\\\?\\unix\\", host) && IdentifyDirectory(root, mapped) &&
           host.dwVolumeSerialNumber == mapped.dwVolumeSerialNumber &&
           host.nFileIndexHigh == mapped.nFileIndexHigh && host.nFileIndexLow == mapped.nFileIndexLow;
}

bool ChooseDriveToWalk(int drive)
{
    const char root[4] = {static_cast<char>('@' + drive), ':', '\\', '\0'};
    const UINT type = GetDriveTypeA(root);
    if (g_scanInputs.drives)
    {
        if (!(g_scanInputs.drives & DriveBit(drive)) || type == DRIVE_NO_ROOT_DIR || type == DRIVE_UNKNOWN)
            return false;
        g_walkedDrives |= DriveBit(drive);
        return true;
    }
    if (type != DRIVE_FIXED)
        return false;
    if (IsHostRootDrive(drive))
    {
        g_hostRootDrives |= DriveBit(drive);
        return false;
    }
    g_walkedDrives |= DriveBit(drive);
    return true;
}

std::string HostRootDrivesNote()
{
    if (!g_hostRootDrives)
        return {};
    std::string left = Letters(g_hostRootDrives, ": ");
    left.pop_back();
    return "Left out " + left + ", the host's root under Wine";
}

std::string DrivesWithHostRoots()
{
    return Letters(g_walkedDrives | g_hostRootDrives, "");
}
