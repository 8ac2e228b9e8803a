#include "ExplainKeeping.h"

#include <cwchar>

namespace
{
// A start: its files share the name before the extension. Plain values and
// a plain sort keep this small in a launcher that counts its bytes.
struct CStart
{
    size_t iFirstFile;
    ULONGLONG nCreated; // its first file's
    ULONGLONG cbSize;   // all its files'
    bool fOwn;
};

size_t StemLength(const CWideText& strName)
{
    const size_t iDot = strName.find_last_of(L'.');
    return iDot == CWideText::npos ? strName.size() : iDot;
}

bool SameStem(const CWideText& a, const CWideText& b)
{
    const size_t cch = StemLength(a);
    return cch == StemLength(b) && std::wcsncmp(a.c_str(), b.c_str(), cch) == 0;
}

// Newest first, this start's own before all others whatever its time.
bool Before(const CStart& a, const CStart& b, const std::vector<CExplainFileEntry>& files)
{
    if (a.fOwn != b.fOwn)
        return a.fOwn;
    if (a.nCreated != b.nCreated)
        return a.nCreated > b.nCreated;
    return files[a.iFirstFile].strName > files[b.iFirstFile].strName;
}
} // namespace

std::vector<size_t> ChooseExplainFilesToDelete(const std::vector<CExplainFileEntry>& files,
                                               const CWideText& strOwnStem)
{
    std::vector<CStart> starts;
    for (size_t iFile = 0; iFile < files.size(); ++iFile)
    {
        const CExplainFileEntry& file = files[iFile];
        size_t i = 0;
        while (i < starts.size() && !SameStem(files[starts[i].iFirstFile].strName, file.strName))
            ++i;
        if (i == starts.size())
            starts.push_back({iFile, file.nCreated, 0,
                              StemLength(file.strName) == strOwnStem.size() &&
                                  file.strName.compare(0, strOwnStem.size(), strOwnStem) == 0});
        starts[i].nCreated =
            file.nCreated < starts[i].nCreated ? file.nCreated : starts[i].nCreated;
        starts[i].cbSize += file.cbSize;
    }
    for (size_t i = 1; i < starts.size(); ++i) // a folder holds some twenty starts
    {
        for (size_t j = i; j > 0 && Before(starts[j], starts[j - 1], files); --j)
        {
            const CStart earlier = starts[j - 1];
            starts[j - 1] = starts[j];
            starts[j] = earlier;
        }
    }
    std::vector<size_t> gone;
    ULONGLONG cbKept = 0;
    for (size_t i = 0; i < starts.size(); ++i)
    {
        cbKept += starts[i].cbSize;
        if (starts[i].fOwn ||
            (i < static_cast<size_t>(cExplainStartsKept) && cbKept <= cbExplainFolderKept))
            continue;
        for (size_t iFile = 0; iFile < files.size(); ++iFile)
        {
            if (SameStem(files[iFile].strName, files[starts[i].iFirstFile].strName))
                gone.push_back(iFile);
        }
    }
    return gone;
}
