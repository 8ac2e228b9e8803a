// Which start files the explain folder keeps: the rules on a list of files,
// with no folder and no launcher.
#include "ExplainKeeping.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace
{
const ULONGLONG MB = 1024 * 1024;

// Start i's file "Ostrelin-<i>.txt", or .dmp.
CWideText Name(int i, const wchar_t* pszExtension = L".txt")
{
    const std::wstring strNumber = std::to_wstring(i);
    return L"Ostrelin-" + CWideText(strNumber.c_str()) + pszExtension;
}

// Starts 1 to cStarts, start i's file created at time i.
std::vector<CExplainFileEntry> Starts(int cStarts, ULONGLONG cbEach = 1000)
{
    std::vector<CExplainFileEntry> files;
    for (int i = 1; i <= cStarts; ++i)
        files.push_back({Name(i), static_cast<ULONGLONG>(i), cbEach});
    return files;
}
} // namespace

TEST(ExplainKeeping, NewestStartsWithinCountAndSizeAndTheOwnAlways)
{
    const struct
    {
        const char* pszCase;
        std::vector<CExplainFileEntry> files;
        int iOwn;
        std::vector<CWideText> gone;
    } rows[] = {
        {"twenty starts: nothing goes", Starts(20), 20, {}},
        {"the oldest beyond twenty go", Starts(22), 22, {Name(1), Name(2)}},
        // A clock set back or a time zone crossed: the name says nothing, the
        // file's creation time orders; the own start stays, the oldest goes.
        {"the own start stays though it is the oldest", Starts(21), 1, {Name(2)}},
        {"a start's minidump goes with it",
         []
         {
             auto files = Starts(21);
             files.push_back({Name(1, L".dmp"), 1, 5 * MB});
             files.push_back({Name(9, L".dmp"), 9, 5 * MB});
             return files;
         }(),
         21,
         {Name(1), Name(1, L".dmp")}},
        {"beyond 100 MB, counted from the newest",
         Starts(6, 30 * MB),
         6,
         {Name(1), Name(2), Name(3)}},
        {"a start alone over 100 MB: its own stays", Starts(2, 200 * MB), 2, {Name(1)}},
        {"no files", {}, 1, {}},
    };
    for (const auto& row : rows)
    {
        SCOPED_TRACE(row.pszCase);
        std::vector<CWideText> gone;
        for (const size_t iFile : ChooseExplainFilesToDelete(row.files, Name(row.iOwn, L"")))
            gone.push_back(row.files[iFile].strName);
        std::sort(gone.begin(), gone.end());
        std::vector<CWideText> expected = row.gone;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(expected, gone);
    }
}
