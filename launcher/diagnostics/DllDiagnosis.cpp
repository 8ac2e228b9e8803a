#include "DllDiagnosis.h"

#include "CoreHandle.h"

#include <shlwapi.h>

#include <cstddef>
#include <cstring>
#include <cwchar>

namespace
{
const DWORD cchPath = 1024;
// How far down the chain of the task's own DLLs the imports are followed.
const int nDeepest = 4;

// Appends to a fixed buffer, cutting what does not fit.
class CTextOut
{
public:
    CTextOut(char* szText, int cchText, UINT nCodePage)
        : m_szText(szText), m_cchText(static_cast<size_t>(cchText)), m_nCodePage(nCodePage)
    {
        m_szText[0] = '\0';
    }
    size_t Mark() const { return std::strlen(m_szText); }
    void Reset(size_t iMark) { m_szText[iMark] = '\0'; }
    CTextOut& operator<<(const char* psz)
    {
        const size_t cch = Mark();
        ::lstrcpynA(m_szText + cch, psz, static_cast<int>(m_cchText - cch));
        return *this;
    }
    CTextOut& operator<<(const wchar_t* psz)
    {
        char szText[cchPath * 3];
        if (::WideCharToMultiByte(m_nCodePage, 0, psz, -1, szText, sizeof(szText), nullptr,
                                  nullptr) == 0)
            szText[0] = '\0';
        return *this << szText;
    }
    CTextOut& operator<<(unsigned long n)
    {
        char szNumber[16];
        ::wnsprintfA(szNumber, sizeof(szNumber), "%lu", n);
        return *this << szNumber;
    }

private:
    char* m_szText;
    size_t m_cchText;
    UINT m_nCodePage;
};

enum class ImageForm
{
    Unreadable,
    Empty,
    NotExecutable,
    Program,
    Dll,
};

// A file mapped as data, and what its headers say. Every read is checked
// against the file's size: the file may be anything.
class CImage
{
public:
    explicit CImage(const wchar_t* pszPath)
    {
        const CUniqueFileHandle hFile(::CreateFileW(
            pszPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        LARGE_INTEGER cb = {};
        if (!hFile || !::GetFileSizeEx(hFile.Get(), &cb))
            return;
        m_eForm = ImageForm::Empty;
        if (cb.QuadPart == 0)
            return;
        m_eForm = ImageForm::Unreadable;
        const CUniqueHandle hMapping(
            ::CreateFileMappingW(hFile.Get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
        if (hMapping)
            m_pb =
                static_cast<const BYTE*>(::MapViewOfFile(hMapping.Get(), FILE_MAP_READ, 0, 0, 0));
        if (m_pb == nullptr)
            return;
        m_cb = static_cast<size_t>(cb.QuadPart);
        ReadHeaders();
    }
    ~CImage()
    {
        if (m_pb != nullptr)
            ::UnmapViewOfFile(m_pb);
    }
    CImage(const CImage&) = delete;
    CImage& operator=(const CImage&) = delete;

    ImageForm Form() const { return m_eForm; }
    WORD Machine() const { return m_nMachine; }
    DWORD ImportTable() const { return m_rvaImport; }
    bool Is64() const { return m_f64; }

    // What lies at an address of the loaded image, in the file.
    template <class T> bool Read(DWORD rva, T& value) const
    {
        const BYTE* const pb = At(rva, sizeof(T));
        if (pb != nullptr)
            std::memcpy(&value, pb, sizeof(T));
        return pb != nullptr;
    }
    const char* NameAt(DWORD rva) const
    {
        const BYTE* const pb = At(rva, 1);
        return pb != nullptr && std::memchr(pb, 0, static_cast<size_t>(m_pb + m_cb - pb)) != nullptr
                   ? reinterpret_cast<const char*>(pb)
                   : nullptr;
    }

    // Forwarded functions are exported too: their names are in the table.
    bool Exports(const char* pszName, DWORD nOrdinal) const
    {
        IMAGE_EXPORT_DIRECTORY exports = {};
        if (m_rvaExport == 0 || !Read(m_rvaExport, exports))
            return false;
        if (pszName == nullptr)
        {
            DWORD rvaFunction = 0;
            const DWORD iFunction = nOrdinal - exports.Base;
            return iFunction < exports.NumberOfFunctions &&
                   Read(exports.AddressOfFunctions + 4 * iFunction, rvaFunction) &&
                   rvaFunction != 0;
        }
        for (DWORD iName = 0; iName < exports.NumberOfNames; ++iName)
        {
            DWORD rvaName = 0;
            const char* pszExport = nullptr;
            if (Read(exports.AddressOfNames + 4 * iName, rvaName) &&
                (pszExport = NameAt(rvaName)) != nullptr && std::strcmp(pszExport, pszName) == 0)
                return true;
        }
        return false;
    }

private:
    const BYTE* At(DWORD rva, size_t cb) const
    {
        if (rva < m_cbHeaders && rva + static_cast<ULONGLONG>(cb) <= m_cbHeaders)
            return m_pb + rva;
        for (WORD iSection = 0; iSection < m_cSections; ++iSection)
        {
            IMAGE_SECTION_HEADER section;
            std::memcpy(&section, m_pbSections + iSection * sizeof(section), sizeof(section));
            const ULONGLONG nOffset = static_cast<ULONGLONG>(rva) - section.VirtualAddress;
            if (rva >= section.VirtualAddress && nOffset + cb <= section.SizeOfRawData &&
                section.PointerToRawData + nOffset + cb <= m_cb)
                return m_pb + section.PointerToRawData + nOffset;
        }
        return nullptr;
    }

    template <class TOptional> void ReadOptional(const BYTE* pbOptional, WORD cbOptional)
    {
        TOptional optional = {};
        std::memcpy(&optional, pbOptional,
                    cbOptional < sizeof(optional) ? cbOptional : sizeof(optional));
        const DWORD cDirectories = optional.NumberOfRvaAndSizes;
        m_cbHeaders =
            optional.SizeOfHeaders < m_cb ? optional.SizeOfHeaders : static_cast<DWORD>(m_cb);
        const DWORD cbDirectories =
            static_cast<DWORD>(cbOptional - offsetof(TOptional, DataDirectory));
        if (cDirectories > IMAGE_DIRECTORY_ENTRY_IMPORT &&
            cbDirectories >= (IMAGE_DIRECTORY_ENTRY_IMPORT + 1) * sizeof(IMAGE_DATA_DIRECTORY))
        {
            m_rvaExport = optional.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT].VirtualAddress;
            m_rvaImport = optional.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
        }
    }

    void ReadHeaders()
    {
        m_eForm = ImageForm::NotExecutable;
        IMAGE_DOS_HEADER dos;
        if (m_cb < sizeof(dos))
            return;
        std::memcpy(&dos, m_pb, sizeof(dos));
        const ULONGLONG nPe = static_cast<DWORD>(dos.e_lfanew);
        DWORD nSignature = 0;
        IMAGE_FILE_HEADER file;
        if (dos.e_magic != IMAGE_DOS_SIGNATURE || nPe + 4 + sizeof(file) + 2 > m_cb)
            return;
        std::memcpy(&nSignature, m_pb + nPe, 4);
        std::memcpy(&file, m_pb + nPe + 4, sizeof(file));
        const BYTE* const pbOptional = m_pb + nPe + 4 + sizeof(file);
        m_pbSections = pbOptional + file.SizeOfOptionalHeader;
        m_cSections = file.NumberOfSections;
        WORD nMagic = 0;
        std::memcpy(&nMagic, pbOptional, 2);
        if (nSignature != IMAGE_NT_SIGNATURE ||
            static_cast<size_t>(m_pbSections - m_pb) + m_cSections * sizeof(IMAGE_SECTION_HEADER) >
                m_cb)
            return;
        m_nMachine = file.Machine;
        m_f64 = nMagic == IMAGE_NT_OPTIONAL_HDR64_MAGIC;
        if (m_f64 && file.SizeOfOptionalHeader >= offsetof(IMAGE_OPTIONAL_HEADER64, DataDirectory))
            ReadOptional<IMAGE_OPTIONAL_HEADER64>(pbOptional, file.SizeOfOptionalHeader);
        else if (nMagic == IMAGE_NT_OPTIONAL_HDR32_MAGIC &&
                 file.SizeOfOptionalHeader >= offsetof(IMAGE_OPTIONAL_HEADER32, DataDirectory))
            ReadOptional<IMAGE_OPTIONAL_HEADER32>(pbOptional, file.SizeOfOptionalHeader);
        else
            return;
        m_eForm =
            (file.Characteristics & IMAGE_FILE_DLL) != 0 ? ImageForm::Dll : ImageForm::Program;
    }

    ImageForm m_eForm = ImageForm::Unreadable;
    const BYTE* m_pb = nullptr;
    size_t m_cb = 0;
    const BYTE* m_pbSections = nullptr;
    WORD m_cSections = 0;
    WORD m_nMachine = 0;
    bool m_f64 = false;
    DWORD m_cbHeaders = 0;
    DWORD m_rvaExport = 0;
    DWORD m_rvaImport = 0;
};

bool IsFile(const wchar_t* pszPath)
{
    const DWORD dwAttributes = ::GetFileAttributesW(pszPath);
    return dwAttributes != INVALID_FILE_ATTRIBUTES &&
           (dwAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// Where the loader looks for a DLL a task imports, in its order: the task's
// own folder (COM loads it with that folder first), the system folder, the
// 16-bit system folder, the Windows folder, the current folder, PATH.
struct CSearchOrder
{
    wchar_t szFolders[5][cchPath] = {};

    explicit CSearchOrder(const wchar_t* pszTask)
    {
        ::lstrcpynW(szFolders[0], pszTask, cchPath);
        ::PathRemoveFileSpecW(szFolders[0]);
        ::GetSystemDirectoryW(szFolders[1], cchPath);
        ::GetWindowsDirectoryW(szFolders[3], cchPath);
        ::PathCombineW(szFolders[2], szFolders[3], L"System");
        ::GetCurrentDirectoryW(cchPath, szFolders[4]);
    }

    // Loaded or known DLLs, and those of the system, are found but not
    // followed: the system keeps its own.
    bool Find(const wchar_t* pszName, wchar_t (&szFound)[cchPath], bool& fSystem) const
    {
        fSystem = true;
        const HMODULE hLoaded = ::GetModuleHandleW(pszName);
        if (hLoaded != nullptr && ::GetModuleFileNameW(hLoaded, szFound, cchPath) - 1 < cchPath - 1)
            return true;
        for (int iFolder = 0; iFolder < 5; ++iFolder)
        {
            fSystem = iFolder >= 1 && iFolder <= 3;
            if (::PathCombineW(szFound, szFolders[iFolder], pszName) != nullptr && IsFile(szFound))
                return true;
        }
        fSystem = false;
        wchar_t szPath[32767];
        const DWORD cchList = ::GetEnvironmentVariableW(L"PATH", szPath, 32767);
        for (wchar_t* pszFolder = szPath; cchList > 0 && cchList < 32767 && *pszFolder != L'\0';)
        {
            wchar_t* const pszEnd = std::wcschr(pszFolder, L';');
            if (pszEnd != nullptr)
                *pszEnd = L'\0';
            if (*pszFolder != L'\0' && ::PathCombineW(szFound, pszFolder, pszName) != nullptr &&
                IsFile(szFound))
                return true;
            if (pszEnd == nullptr)
                break;
            pszFolder = pszEnd + 1;
        }
        return false;
    }

    void Describe(CTextOut& out) const
    {
        out << "looked for in its folder " << szFolders[0] << ", the system folder " << szFolders[1]
            << ", the 16-bit system folder " << szFolders[2] << ", the Windows folder "
            << szFolders[3] << ", the current folder " << szFolders[4] << " and PATH";
    }
};

// API sets are names the system resolves itself, never files.
bool IsApiSet(const char* pszName)
{
    return ::StrCmpNIA(pszName, "api-ms-win-", 11) == 0 || ::StrCmpNIA(pszName, "ext-ms-", 7) == 0;
}

struct CLoader
{
    bool f64;
    const char* pszName;
    const CSearchOrder* pSearch;
};

bool Diagnose(const wchar_t* pszPath, const CLoader& loader, int nDepth, CTextOut& out);

// The first function of an import entry that its DLL does not export.
bool ReportMissingFunction(const CImage& image, const IMAGE_IMPORT_DESCRIPTOR& import,
                           const char* pszDll, const wchar_t* pszFound, CTextOut& out)
{
    const CImage found(pszFound);
    if (found.Form() != ImageForm::Dll)
        return false; // said when its own headers are read
    const DWORD cbThunk = image.Is64() ? 8 : 4;
    DWORD rvaThunk = import.OriginalFirstThunk != 0 ? import.OriginalFirstThunk : import.FirstThunk;
    for (;; rvaThunk += cbThunk)
    {
        ULONGLONG nThunk = 0;
        DWORD nThunk32 = 0;
        if (image.Is64() ? !image.Read(rvaThunk, nThunk) : !image.Read(rvaThunk, nThunk32))
            return false;
        if (!image.Is64())
            nThunk = nThunk32 | (static_cast<ULONGLONG>(nThunk32 & 0x80000000) << 32);
        if (nThunk == 0)
            return false;
        const bool fOrdinal = (nThunk >> 63) != 0;
        const char* const pszFunction =
            fOrdinal ? nullptr : image.NameAt(static_cast<DWORD>(nThunk) + 2);
        if (!fOrdinal && pszFunction == nullptr)
            return false;
        const DWORD nOrdinal = static_cast<DWORD>(nThunk & 0xFFFF);
        if (found.Exports(pszFunction, nOrdinal))
            continue;
        out << "it imports ";
        if (fOrdinal)
            out << "ordinal " << static_cast<unsigned long>(nOrdinal);
        else
            out << pszFunction;
        out << " from " << pszDll << " (" << pszFound << "), which does not export it";
        return true;
    }
}

// The first import of the image that the loader cannot resolve.
bool ReportImports(const CImage& image, const CLoader& loader, int nDepth, CTextOut& out)
{
    IMAGE_IMPORT_DESCRIPTOR import;
    for (DWORD rva = image.ImportTable(); rva != 0 && image.Read(rva, import) && import.Name != 0;
         rva += sizeof(import))
    {
        const char* const pszDll = image.NameAt(import.Name);
        if (pszDll == nullptr || IsApiSet(pszDll))
            continue;
        wchar_t szName[MAX_PATH], szFound[cchPath];
        bool fSystem = true;
        if (::MultiByteToWideChar(CP_ACP, 0, pszDll, -1, szName, MAX_PATH) == 0)
            continue;
        if (!loader.pSearch->Find(szName, szFound, fSystem))
        {
            out << "it imports " << pszDll << ", which is not found; ";
            loader.pSearch->Describe(out);
            return true;
        }
        if (ReportMissingFunction(image, import, pszDll, szFound, out))
            return true;
        if (fSystem || nDepth >= nDeepest)
            continue;
        const size_t iMark = out.Mark();
        out << "it imports " << pszDll << " (" << szFound << "): ";
        if (Diagnose(szFound, loader, nDepth + 1, out))
            return true;
        out.Reset(iMark);
    }
    return false;
}

bool Diagnose(const wchar_t* pszPath, const CLoader& loader, int nDepth, CTextOut& out)
{
    const DWORD dwAttributes = ::GetFileAttributesW(pszPath);
    if (dwAttributes == INVALID_FILE_ATTRIBUTES)
        return false;
    if ((dwAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
    {
        out << "a folder, not a DLL";
        return true;
    }
    const CImage image(pszPath);
    const WORD nOwnMachine =
        sizeof(void*) == 8 ? IMAGE_FILE_MACHINE_AMD64 : IMAGE_FILE_MACHINE_I386;
    const WORD nMachine = loader.f64 ? IMAGE_FILE_MACHINE_AMD64 : IMAGE_FILE_MACHINE_I386;
    const char* const pszBits = loader.f64 ? "64-bit" : "32-bit";
    switch (image.Form())
    {
    case ImageForm::Unreadable:
        out << "the file cannot be read (LastError " << ::GetLastError() << ")";
        return true;
    case ImageForm::Empty:
        out << "not a DLL: the file is empty";
        return true;
    case ImageForm::NotExecutable:
        out << "not a DLL: the file has no program headers";
        return true;
    case ImageForm::Program:
        out << "not a DLL: a program";
        return true;
    case ImageForm::Dll:
        break;
    }
    if (image.Machine() != nMachine)
    {
        if (image.Machine() == IMAGE_FILE_MACHINE_AMD64 ||
            image.Machine() == IMAGE_FILE_MACHINE_I386)
            out << (image.Machine() == IMAGE_FILE_MACHINE_AMD64 ? "a 64-bit DLL; "
                                                                : "a 32-bit DLL; ");
        else
            out << "a DLL for machine type " << static_cast<unsigned long>(image.Machine()) << "; ";
        out << loader.pszName << " is " << pszBits;
        return true;
    }
    return nMachine == nOwnMachine && ReportImports(image, loader, nDepth, out);
}
} // namespace

bool DiagnoseDll(const wchar_t* pszPath, bool f64Loader, const char* pszLoader, UINT nCodePage,
                 char* szText, int cchText)
{
    CTextOut out(szText, cchText, nCodePage);
    // A bare name is found as the loader finds it.
    wchar_t szPath[cchPath];
    if (::SearchPathW(nullptr, pszPath, nullptr, cchPath, szPath, nullptr) - 1 >= cchPath - 1)
        ::lstrcpynW(szPath, pszPath, cchPath);
    const CSearchOrder search(szPath);
    const CLoader loader = {f64Loader, pszLoader, &search};
    return Diagnose(szPath, loader, 0, out);
}
