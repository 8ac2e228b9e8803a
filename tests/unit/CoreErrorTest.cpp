// What the end-to-end traces cannot show: a check point evaluates its
// expression once, codes map to HRESULTs, long texts are formatted whole.
#include "CoreError.h"
#include "CoreTrace.h"

#include "DebugOutputCapture.h"

#include <gtest/gtest.h>

TEST(CoreError, CheckPointsCodesAndTexts)
{
    CDebugOutputCapture capture;
    int cEvaluated = 0;
    const auto nothing = [&]() -> void*
    {
        ++cEvaluated;
        ::SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    };
    try
    {
        CHECK_WIN32(nothing());
        ADD_FAILURE() << "no throw";
    }
    catch (const CWin32Error& error)
    {
        EXPECT_EQ(1, cEvaluated);
        EXPECT_EQ(2u, error.GetCode());
        EXPECT_EQ(static_cast<HRESULT>(0x80070002), error.GetHResult());
        EXPECT_STREQ("nothing()", error.GetExpression());
        EXPECT_EQ(1u, capture.Records().size());
    }
    EXPECT_STREQ("LastError: -1 : \"?\")",
                 CWin32Error(0xFFFFFFFF, CORE_SOURCE_LOCATION(), "x").GetDescription());

    const std::pair<DWORD, DWORD> codes[] = {{0, 0},
                                             {5, 0x80070005},
                                             {0x12345, 0x80072345},
                                             {0x80004005, 0x80004005},
                                             {0x7FFFFFFF, 0x8007FFFF}};
    for (const auto& c : codes)
    {
        ::SetLastError(c.first);
        EXPECT_EQ(static_cast<HRESULT>(c.second), HResultFromLastError()) << c.first;
    }

    CText str("old content is discarded");
    FormatText(str, "<%s|%d>", std::string(5000, 'x').c_str(), -7);
    EXPECT_EQ("<" + std::string(5000, 'x') + "|-7>", str.GetString());
}
