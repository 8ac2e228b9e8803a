// What the launcher shows and writes, word for word, written out here.
#pragma once

#include "TraceEvent.h"

#include <ostream>
#include <string>
#include <vector>

inline const std::string& BannerBeforeCoUninitialize()
{
    static const std::string text =
        "\n\n=================================== last task - before CoUninitialize()\n\n";
    return text;
}

inline const std::string& BannerBeforeExit()
{
    static const std::string text =
        "\n\n=================================== last task - before EXIT\n\n";
    return text;
}

// The two records of every end through the main routine's closing steps.
inline std::vector<std::string> ClosingBanners()
{
    return {BannerBeforeCoUninitialize(), BannerBeforeExit()};
}

// The box of a start while the updater holds the installation, dismissed.
inline CMessageBoxSeen UpdateBox()
{
    return {"Casino",
            "You are receiving some updates to the casino.  Please be patient. This should not "
            "take any longer than 30 seconds",
            true};
}

// The box of a start whose fixed mutexes could not be created, dismissed.
inline CMessageBoxSeen LoadingErrorBox()
{
    return {"Casino", "Error during casino loading.", true};
}

const char szRegisterMutexName[] = "ZembraniRegisterMutex";
const char szExclusiveMutexName[] = "ZembraniExclusiveMutex";

// Readable failure messages in GoogleTest.
inline void PrintTo(const CMessageBoxSeen& box, std::ostream* pOut)
{
    *pOut << "{caption \"" << box.caption << "\", text \"" << box.text << "\", "
          << (box.dismissed ? "dismissed" : "left open") << "}";
}
