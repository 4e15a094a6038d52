// What a scan without the modern reading passed over that the modern reading follows,
// counted for the front ends: they tell the user and offer the modern reading.
// Portable.
#pragma once

struct UnreadLinkCounts
{
    // With Quick Scan on: examined files whose import tables lie outside .idata.
    int importTablesOutsideIdata = 0;
    // Managed (.NET) files: their assembly references and P/Invoke modules.
    int managedFiles = 0;
    // The rest cost reads of their own and are counted only when the scan's inputs ask
    // (engine/scan_inputs.h): examined files whose manifest names an assembly, examined
    // files whose exports forward, files of the add-on extensions left unexamined, and
    // listed DLLs that the registry names.
    int manifestFiles = 0;
    int forwardingFiles = 0;
    int addOnModules = 0;
    int registryNamedListed = 0;

    bool Any() const
    {
        return importTablesOutsideIdata > 0 || managedFiles > 0 || manifestFiles > 0 || forwardingFiles > 0 ||
               addOnModules > 0 || registryNamedListed > 0;
    }
};
