// The configuration loader and the task runner in this process against
// thousands of hostile documents, plain and scrambled: every one ends either
// normally or with exactly one traced error of the launcher's family, and
// the process neither crashes, hangs nor leaks.
//   OSTRELIN_FUZZ_ITERATIONS  documents to try (default 5000, long 50000)
//   OSTRELIN_FUZZ_SEED        the random seed (default fixed; long: from the clock)
//   OSTRELIN_FUZZ_ONLY        replay this one document number of the seed
#include "ConfigMutator.h"
#include "ConfigSafety.h"
#include "DebugOutputCapture.h"
#include "ReliabilitySettings.h"
#include "ResourceProbe.h"

#include "CoreXML.h"
#include "E2EPaths.h"
#include "TaskRunner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

namespace
{
const unsigned long nFixedSeed = 20261206;
const DWORD nLongestDocumentMs = 120000; // far beyond any document; only against hangs
const char szConfigName[] = "Config.xml";

struct CNormalEnd
{
};

void ThrowNormalEnd(CGuardHandles& /*handles*/)
{
    throw CNormalEnd();
}

std::vector<std::string> ReadCorpus()
{
    std::vector<std::string> seeds;
    WIN32_FIND_DATAA found = {};
    const std::string folder = OSTRELIN_CORPUS_DIR "\\";
    const HANDLE hFind = ::FindFirstFileA((folder + "*.xml").c_str(), &found);
    if (hFind == INVALID_HANDLE_VALUE)
        return seeds;
    do
    {
        std::ifstream file(folder + found.cFileName, std::ios::binary);
        std::ostringstream bytes;
        bytes << file.rdbuf();
        seeds.push_back(bytes.str());
    } while (::FindNextFileA(hFind, &found));
    ::FindClose(hFind);
    return seeds;
}

void WriteFileBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Ends the process with a message naming the document when one takes too long.
class CWatchdog
{
public:
    CWatchdog(unsigned long nSeed) : m_nSeed(nSeed), m_thread([this] { Watch(); }) {}
    ~CWatchdog()
    {
        m_fStop = true;
        m_thread.join();
    }
    void Arm(unsigned long iDocument)
    {
        m_iDocument = iDocument;
        m_nStart = ::GetTickCount();
        m_fArmed = true;
    }
    void Disarm() { m_fArmed = false; }

private:
    void Watch()
    {
        while (!m_fStop)
        {
            ::Sleep(100);
            if (m_fArmed && ::GetTickCount() - m_nStart > nLongestDocumentMs)
            {
                std::printf("HANG: document %lu of seed %lu ran for more than %lu s\n",
                            m_iDocument.load(), m_nSeed, nLongestDocumentMs / 1000);
                std::fflush(stdout);
                ::TerminateProcess(::GetCurrentProcess(), 3);
            }
        }
    }

    unsigned long m_nSeed;
    std::atomic<bool> m_fStop{false}, m_fArmed{false};
    std::atomic<unsigned long> m_iDocument{0};
    std::atomic<DWORD> m_nStart{0};
    std::thread m_thread;
};

// "file(line)" of a Thrown record, or empty when the record is not one.
std::string ThrownSite(const std::string& record)
{
    const size_t iThrown = record.find("): Thrown: ");
    return iThrown == std::string::npos ? std::string() : record.substr(0, iThrown + 1);
}

class ConfigFuzz : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_EQ(S_OK, ::CoInitialize(nullptr)); }
    void TearDown() override { ::CoUninitialize(); }
};
} // namespace

TEST_F(ConfigFuzz, HostileDocumentsEndNormallyOrWithOneTracedError)
{
    const std::vector<std::string> corpus = ReadCorpus();
    ASSERT_GE(corpus.size(), 10u) << "corpus " OSTRELIN_CORPUS_DIR;
    const unsigned long nSeed = CountFromEnvironment("OSTRELIN_FUZZ_SEED", nFixedSeed,
                                                     ::GetTickCount() ^ ::GetCurrentProcessId());
    const unsigned long cDocuments = CountFromEnvironment("OSTRELIN_FUZZ_ITERATIONS", 5000, 50000);
    const unsigned long iOnly = CountFromEnvironment("OSTRELIN_FUZZ_ONLY", ULONG_MAX, ULONG_MAX);
    std::printf("seed %lu, %lu documents from %zu corpus files (replay: OSTRELIN_FUZZ_SEED=%lu, "
                "one document: OSTRELIN_FUZZ_ONLY=<number>)\n",
                nSeed, cDocuments, corpus.size(), nSeed);

    const std::string folder = GetTestTempFolder();
    const std::string path = folder + szConfigName;
    unsigned long counts[static_cast<size_t>(Mutation::Count)] = {};
    unsigned long cScrambled = 0, cUnsafe = 0, cRan = 0, cFailed = 0, cViolations = 0;
    std::map<std::string, unsigned long> thrownSites;
    // A leak grows steadily: the least of the last three tenths is what counts,
    // not a passing peak of the heap.
    CResourceFigures warm, last, settled{ULONG_MAX, ~0ULL};
    const unsigned long iWarm = cDocuments / 10;
    CWatchdog watchdog(nSeed);
    const DWORD nStart = ::GetTickCount();

    for (unsigned long iDocument = 0; iDocument < cDocuments && cViolations < 10; ++iDocument)
    {
        if (iOnly != ULONG_MAX && iDocument != iOnly)
            continue;
        // Each document from (seed, number) alone, so that one can be replayed.
        std::seed_seq seeds{nSeed, iDocument};
        std::mt19937 rng(seeds);
        CConfigMutator mutator(rng);
        std::string doc = mutator.Mutate(corpus[rng() % corpus.size()], counts);
        if (rng() % 3 == 0)
        {
            doc = mutator.Scramble(doc, szConfigName);
            ++cScrambled;
        }
        WriteFileBytes(path, doc);

        watchdog.Arm(iDocument);
        if (!WhyUnsafeToRun(path).empty())
        {
            watchdog.Disarm();
            ++cUnsafe;
            continue;
        }

        CDebugOutputCapture capture;
        bool fRan = false, fFailed = false;
        try
        {
            CGuardHandles handles;
            RunTasks(CText(path.c_str()), handles, ThrowNormalEnd);
        }
        catch (const CNormalEnd&)
        {
            fRan = true;
        }
        catch (const CCoreError&)
        {
            fFailed = true;
        }
        watchdog.Disarm();

        // Anything else has left this test already, as a failure.
        const std::vector<std::string>& records = capture.Records();
        bool fExpected = false;
        if (fRan)
        {
            ++cRan;
            fExpected = records.empty();
        }
        else if (fFailed)
        {
            ++cFailed;
            // One Thrown; an unopened or unparsed file adds its "---->" line before.
            const size_t iThrown = records.size() == 2 && records[0].rfind("---->", 0) == 0 ? 1 : 0;
            fExpected = records.size() == iThrown + 1 && !ThrownSite(records[iThrown]).empty();
            if (fExpected)
                ++thrownSites[ThrownSite(records[iThrown])];
        }
        if (!fExpected)
        {
            ++cViolations;
            const std::string kept = folder + "violation-" + std::to_string(iDocument) + ".xml";
            WriteFileBytes(kept, doc);
            std::ostringstream text;
            for (const std::string& record : records)
                text << "  " << record;
            ADD_FAILURE() << "document " << iDocument << " of seed " << nSeed << " ("
                          << (fRan ? "ran" : "failed") << ", kept as " << kept << ") traced "
                          << records.size() << " records:\n"
                          << text.str();
        }

        if (iDocument + 1 == iWarm)
            warm = ReadResourceFigures();
        if (cDocuments >= 10 && (iDocument + 1) % (cDocuments / 10) == 0)
        {
            last = ReadResourceFigures();
            if (iDocument + 1 >= cDocuments - 3 * (cDocuments / 10))
            {
                settled.handles = std::min(settled.handles, last.handles);
                settled.privateBytes = std::min(settled.privateBytes, last.privateBytes);
            }
            std::printf("  %6lu documents: %lu ran, %lu failed with one traced error, %lu not run "
                        "(unsafe); handles %lu, private %llu KB\n",
                        iDocument + 1, cRan, cFailed, cUnsafe, last.handles,
                        last.privateBytes / 1024);
            std::fflush(stdout);
        }
    }

    std::printf("tried %lu documents (%lu scrambled) in %.1f s: %lu ended normally, %lu ended with "
                "exactly one traced error, %lu were not run (a harmful attribute or a registered "
                "class after mutation); no crash, no hang\n",
                cDocuments, cScrambled, (::GetTickCount() - nStart) / 1000.0, cRan, cFailed,
                cUnsafe);
    std::printf("mutations applied:");
    for (size_t i = 0; i < std::size(counts); ++i)
        std::printf("%s %s %lu", i ? "," : "", MutationName(static_cast<Mutation>(i)), counts[i]);
    std::printf("\nerrors by check point:\n");
    for (const auto& site : thrownSites)
        std::printf("  %-32s %lu\n", site.first.c_str(), site.second);
    if (iOnly == ULONG_MAX && cDocuments >= 10)
    {
        std::printf("after %lu documents: handles %lu, private %llu KB; least of the last three "
                    "tenths: handles %lu, private %llu KB\n",
                    iWarm, warm.handles, warm.privateBytes / 1024, settled.handles,
                    settled.privateBytes / 1024);
        EXPECT_LE(settled.handles, warm.handles + 2) << "handles grew";
        EXPECT_LE(settled.privateBytes, warm.privateBytes + 2 * 1024 * 1024)
            << "private bytes grew";
    }
    if (cViolations == 0)
        RemoveFolder(folder);
    EXPECT_EQ(0u, cViolations);
    EXPECT_GT(cRan, 0u);
    EXPECT_GT(cFailed, 0u);
}
