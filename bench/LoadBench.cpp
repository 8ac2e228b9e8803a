// Loading configurations of 1 KB, 1 MB and 50 MB with CXMLDoc::FromURL, plain
// and scrambled, and where the time of a load goes.
#include "Bench.h"
#include "BenchConfigs.h"
#include "BenchSupport.h"

#include "ConfigScramble.h"
#include "CoreFile.h"
#include "CoreXML.h"

#include <shlwapi.h>

#include <cstring>
#include <memory>
#include <stdexcept>
#include <utility>

namespace
{
const char szConfigName[] = "Config.xml";

double TimeFromURL(const std::string& path)
{
    const LONGLONG nStart = ReadCounter();
    double seconds = 0;
    {
        const CXMLDoc doc = CXMLDoc::FromURL(WidePath(path));
        seconds = SecondsSince(nStart);
        if (!doc.GetDocumentElement())
            throw std::runtime_error(path + " did not parse");
    }
    return seconds;
}

// The steps of one load, timed one by one as FromURL takes them.
struct CLoadSteps
{
    double read = 0, unscramble = 0, copy = 0, parse = 0, release = 0;
};

CLoadSteps TimeLoadSteps(const std::string& path)
{
    CLoadSteps steps;
    LONGLONG nStart = ReadCounter();
    CXMLDoc doc;
    CSharedReadFile file;
    if (file.Open(WidePath(path).c_str()) != S_OK)
        throw std::runtime_error("cannot open " + path);
    const DWORD nSize = static_cast<DWORD>(file.GetSize());
    std::unique_ptr<char[]> buffer(new char[nSize + 1]);
    if (file.Read(buffer.get(), nSize) != S_OK)
        throw std::runtime_error("cannot read " + path);
    buffer[nSize] = '\0';
    steps.read = SecondsSince(nStart);

    nStart = ReadCounter();
    const size_t iXML =
        UnscrambleConfigInPlace(buffer.get(), nSize, szConfigName, sizeof(szConfigName) - 1);
    steps.unscramble = SecondsSince(nStart);

    nStart = ReadCounter();
    CComVariant varXML;
    varXML.AttachUnknown(::SHCreateMemStream(reinterpret_cast<const BYTE*>(buffer.get() + iXML),
                                             static_cast<UINT>(nSize - iXML)));
    if (varXML.Get().vt == VT_EMPTY)
        throw std::runtime_error("no stream for " + path);
    buffer.reset();
    steps.copy = SecondsSince(nStart);

    nStart = ReadCounter();
    VARIANT_BOOL fLoaded = VARIANT_FALSE;
    doc.pif()->load(varXML.Get(), &fLoaded);
    steps.parse = SecondsSince(nStart);
    if (!fLoaded)
        throw std::runtime_error(path + " did not parse");

    nStart = ReadCounter();
    doc.Attach(nullptr); // releases the document
    steps.release = SecondsSince(nStart);
    return steps;
}

// One load of the bytes by the DOM, handed over as FromURL does (a memory
// stream) or as it did before (a byte array, VT_ARRAY | VT_UI1), from making
// the value to the end of the parse.
double TimeDomLoad(const std::string& xml, bool fStream)
{
    CXMLDoc doc;
    const LONGLONG nStart = ReadCounter();
    CComVariant varXML;
    if (fStream)
    {
        varXML.AttachUnknown(::SHCreateMemStream(reinterpret_cast<const BYTE*>(xml.data()),
                                                 static_cast<UINT>(xml.size())));
    }
    else if (SAFEARRAY* const psa =
                 ::SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(xml.size())))
    {
        VARIANT* const pvar = varXML.AcceptHere();
        V_VT(pvar) = VT_ARRAY | VT_UI1;
        V_ARRAY(pvar) = psa;
        void* pvData = nullptr;
        if (SUCCEEDED(::SafeArrayAccessData(psa, &pvData)))
        {
            std::memcpy(pvData, xml.data(), xml.size());
            ::SafeArrayUnaccessData(psa);
        }
    }
    VARIANT_BOOL fLoaded = VARIANT_FALSE;
    doc.pif()->load(varXML.Get(), &fLoaded);
    const double seconds = SecondsSince(nStart);
    if (!fLoaded)
        throw std::runtime_error(fStream ? "the stream did not parse" : "the array did not parse");
    return seconds;
}

double MB(double bytes)
{
    return bytes / (1024.0 * 1024.0);
}

std::string Figure(const char* pszFormat, double value)
{
    char sz[64];
    std::snprintf(sz, sizeof(sz), pszFormat, value);
    return sz;
}
// The DOM's load of the same bytes from a memory stream against a byte array,
// per MB, in pairs taken in turns.
void CompareStreamWithByteArray(const CBenchOptions& options, CSummary& summary)
{
    Print("\n  The DOM's load from a memory stream (FromURL) against a byte array (before)\n");
    Print("  %6s %5s %12s %12s %9s\n", "size", "runs", "stream /MB", "array /MB", "str/arr");
    std::string strRatios;
    bool fMet = true;
    for (const auto& size :
         {std::make_pair("1 MB", 1024 * 1024), std::make_pair("4 MB", 4 * 1024 * 1024),
          std::make_pair("16 MB", 16 * 1024 * 1024)})
    {
        const std::string xml = SizedConfig(size.second);
        TimeDomLoad(xml, true);
        TimeDomLoad(xml, false);
        std::vector<double> stream, array, pairRatios;
        const int cRuns = size.second > 1024 * 1024 ? options.Runs(6, 2) : options.Runs(31, 5);
        for (int iRun = 0; iRun < cRuns; ++iRun)
        {
            // The order alternates, so that neither form always runs second.
            if (iRun % 2)
                array.push_back(TimeDomLoad(xml, false));
            stream.push_back(TimeDomLoad(xml, true));
            if (iRun % 2 == 0)
                array.push_back(TimeDomLoad(xml, false));
            pairRatios.push_back(stream.back() / array.back());
        }
        const double ratio = Median(pairRatios);
        fMet = fMet && ratio <= 1.05;
        Print("  %6s %5d %9.2f ms %9.2f ms %9.3f\n", size.first, cRuns,
              Median(stream) / MB(static_cast<double>(xml.size())) * 1000,
              Median(array) / MB(static_cast<double>(xml.size())) * 1000, ratio);
        strRatios += (strRatios.empty() ? "" : " / ") + Figure("%.3f", ratio);
    }
    summary.Add("DOM load per MB, stream vs byte array at 1 MB / 4 MB / 16 MB: " + strRatios +
                " (target <= 1.05: " + (fMet ? "met" : "missed") + ")");
}
} // namespace

void RunLoadBench(const CBenchOptions& options, CSummary& summary)
{
    const struct
    {
        const char* pszName;
        size_t cbWanted;
        int cRuns, cQuickRuns;
    } sizes[] = {
        {"1 KB", 1024, 51, 11},
        {"1 MB", 1024 * 1024, 31, 5},
        {"50 MB", 50 * 1024 * 1024, 6, 2},
    };
    // First: under Wine 8 a stream's load grows faster than its size.
    CompareStreamWithByteArray(options, summary);
    Print(
        "\nLoading with CXMLDoc::FromURL, in this process (plain and scrambled taken in turns)\n");
    Print("  %6s %5s %12s %12s %12s %12s %9s\n", "size", "runs", "plain", "scrambled", "plain /MB",
          "scr. /MB", "scr/plain");
    double perMB[3] = {}, ratios[3] = {};
    std::vector<CLoadSteps> profiles[2];
    int iSize = 0;
    for (const auto& size : sizes)
    {
        const std::string folder = options.workFolder + "load-" + std::to_string(iSize);
        ::CreateDirectoryA(folder.c_str(), nullptr);
        ::CreateDirectoryA((folder + "\\plain").c_str(), nullptr);
        ::CreateDirectoryA((folder + "\\scrambled").c_str(), nullptr);
        const std::string plainPath = folder + "\\plain\\" + szConfigName;
        const std::string scrambledPath = folder + "\\scrambled\\" + szConfigName;
        {
            const std::string xml = SizedConfig(size.cbWanted);
            WriteBytes(plainPath, xml);
            WriteBytes(scrambledPath, ScrambleConfig(xml, szConfigName));
        }
        const double cbFile = static_cast<double>(FileSize(plainPath));

        TimeFromURL(plainPath);
        TimeFromURL(scrambledPath);
        std::vector<double> plain, scrambled;
        const int cRuns = options.Runs(size.cRuns, size.cQuickRuns);
        for (int iRun = 0; iRun < cRuns; ++iRun)
        {
            // The order alternates, so that neither form always runs second.
            if (iRun % 2)
                scrambled.push_back(TimeFromURL(scrambledPath));
            plain.push_back(TimeFromURL(plainPath));
            if (iRun % 2 == 0)
                scrambled.push_back(TimeFromURL(scrambledPath));
        }
        const double plainTime = Median(plain), scrambledTime = Median(scrambled);
        perMB[iSize] = plainTime / MB(cbFile);
        // The ratio within each pair of loads, then their median.
        std::vector<double> pairRatios;
        for (size_t iPair = 0; iPair < plain.size(); ++iPair)
            pairRatios.push_back(scrambled[iPair] / plain[iPair]);
        ratios[iSize] = Median(pairRatios);
        Print("  %6s %5d %9.2f ms %9.2f ms %9.2f ms %9.2f ms %9.3f\n", size.pszName, cRuns,
              plainTime * 1000, scrambledTime * 1000, perMB[iSize] * 1000,
              scrambledTime / MB(cbFile) * 1000, ratios[iSize]);

        if (size.cbWanted >= 1024 * 1024)
        {
            profiles[0].push_back(TimeLoadSteps(plainPath));
            profiles[1].push_back(TimeLoadSteps(scrambledPath));
        }
        RemoveFolderTree(folder);
        ++iSize;
    }

    Print("\n  Where a load goes (one run each, ms): read, unscramble, copy to the DOM's\n"
          "  memory stream, parse; and the release of the document at the end of a pass\n");
    Print("  %6s %10s %9s %11s %9s %10s %10s\n", "size", "form", "read", "unscramble", "copy",
          "parse", "release");
    for (size_t iProfile = 0; iProfile < profiles[0].size(); ++iProfile)
    {
        for (int iForm = 0; iForm < 2; ++iForm)
        {
            const CLoadSteps& steps = profiles[iForm][iProfile];
            Print("  %6s %10s %9.2f %11.2f %9.2f %10.2f %10.2f\n", sizes[iProfile + 1].pszName,
                  iForm ? "scrambled" : "plain", steps.read * 1000, steps.unscramble * 1000,
                  steps.copy * 1000, steps.parse * 1000, steps.release * 1000);
        }
    }

    Print("  (a 1 KB load is its fixed cost: creating the document, opening the file)\n");
    const double growth = perMB[2] / perMB[1];
    Print("  %-40s %s\n", "per MB, 50 MB against 1 MB", RatioAgainstTarget(growth, 1.5).c_str());
    summary.Add("load per MB at 1 KB / 1 MB / 50 MB: " + Figure("%.2f", perMB[0] * 1000) + " / " +
                Figure("%.2f", perMB[1] * 1000) + " / " + Figure("%.2f", perMB[2] * 1000) +
                " ms; 50 MB vs 1 MB: " + RatioAgainstTarget(growth, 1.5));
    summary.Add(
        "scrambled vs plain at 1 KB / 1 MB / 50 MB: " + Figure("%.3f", ratios[0]) + " / " +
        Figure("%.3f", ratios[1]) + " / " + Figure("%.3f", ratios[2]) + " (target <= 1.05: " +
        (ratios[1] <= 1.05 && ratios[2] <= 1.05 && ratios[0] <= 1.05 ? "met" : "missed") + ")");
}
