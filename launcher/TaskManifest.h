// The installation's task manifest: Tasks.manifest beside the configuration,
// an assembly manifest that lists the installation's task DLLs with their
// classes. While it is activated, CoCreateInstance finds those classes in
// those files before it looks in the registry, which other installations of
// the same tasks share: so installations side by side each run their own.
// The launcher reads nothing in it; the system's activation context does.
#pragma once

#include "CoreText.h"

#include <windows.h>

extern const wchar_t szTaskManifestName[]; // "Tasks.manifest"

// The manifest's path: in the folder of the configuration at strConfigPath.
CWideText TaskManifestPathFor(const CWideText& strConfigPath);

// One record: the system refused the manifest at strPath, in its words for
// the last error, which is kept for the check point that follows.
void TraceTaskManifestRefused(const CWideText& strPath);

// The manifest at a path, activated on this thread for the owner's lifetime.
class CActivatedTaskManifest
{
public:
    CActivatedTaskManifest() = default;
    ~CActivatedTaskManifest();
    CActivatedTaskManifest(const CActivatedTaskManifest&) = delete;
    CActivatedTaskManifest& operator=(const CActivatedTaskManifest&) = delete;

    // True when the manifest is active, or when there is no file at
    // strPath (the registry alone then names the classes); false, with the
    // system's last error, when the system refuses what is there.
    bool Activate(const CWideText& strPath);
    bool IsActive() const { return m_fActive; }
    // The manifest's path when it lists the class, else nullptr.
    const wchar_t* FindClass(const CLSID& clsid) const;

private:
    CWideText m_strPath;
    HANDLE m_hContext = INVALID_HANDLE_VALUE;
    ULONG_PTR m_uCookie = 0;
    bool m_fActive = false;
};
