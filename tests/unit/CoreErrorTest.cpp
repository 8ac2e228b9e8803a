#include "CoreError.h"
#include "CoreTrace.h"

#include "DebugOutputCapture.h"

#include <gtest/gtest.h>

#include <string>

namespace
{
const HRESULT hrUnknown = static_cast<HRESULT>(0x8FFF0001); // no system text

HRESULT Fail(HRESULT hr)
{
    return hr;
}

std::string ExpectedLine(int iLine, const std::string& strMessage)
{
    return std::string(__FILE__) + "(" + std::to_string(iLine) + "): " + strMessage + ": [" +
           __DATE__ + "]\n";
}
} // namespace

TEST(CoreError, PassingCheckPointsHaveNoEffect)
{
    CDebugOutputCapture capture;
    for (HRESULT hr : {S_OK, S_FALSE, static_cast<HRESULT>(0x7FFFFFFF)})
        EXPECT_NO_THROW(CHECK_HRESULT(Fail(hr)));
    int value = 0;
    EXPECT_NO_THROW(CHECK_WIN32(&value));
    EXPECT_TRUE(capture.Records().empty());
}

TEST(CoreError, FailingHResultIsTracedThenThrown)
{
    CDebugOutputCapture capture;
    int iLine = 0;
    try
    {
        // clang-format off
        iLine = __LINE__; CHECK_HRESULT(Fail( hrUnknown ));
        // clang-format on
        FAIL() << "no throw";
    }
    catch (const CCOMError& error)
    {
        EXPECT_EQ(hrUnknown, error.GetHResult());
        EXPECT_STREQ("Fail( hrUnknown )", error.GetExpression());
        EXPECT_EQ(iLine, error.GetPlace().line);
        EXPECT_STREQ(__FILE__, error.GetPlace().file);
        EXPECT_STREQ(__DATE__, error.GetPlace().date);
        EXPECT_STREQ("HRESULT: 0x8FFF0001 : \"?\")", error.GetDescription());
        ASSERT_EQ(1u, capture.Records().size());
        EXPECT_EQ(ExpectedLine(iLine, "Thrown: HRESULT: 0x8FFF0001 : \"?\") Fail( hrUnknown )"),
                  capture.Records()[0]);
    }
}

TEST(CoreError, FailingWin32CheckCarriesTheLastError)
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
        FAIL() << "no throw";
    }
    catch (const CWin32Error& error)
    {
        EXPECT_EQ(1, cEvaluated);
        EXPECT_EQ(2u, error.GetCode());
        EXPECT_EQ(static_cast<HRESULT>(0x80070002), error.GetHResult());
        EXPECT_STREQ("nothing()", error.GetExpression());
        const std::string strDescription = error.GetDescription().GetString();
        EXPECT_EQ("LastError: 2 : \"" + std::string(GetSystemMessage(2)) + "\")", strDescription);
        ASSERT_EQ(1u, capture.Records().size());
        EXPECT_NE(std::string::npos, capture.Records()[0].find("Thrown: " + strDescription));
    }
}

TEST(CoreError, Win32CodesMapToHResults)
{
    const CSourceLocation place{"f", "d", 1};
    EXPECT_EQ(0, CWin32Error(0, place, "x").GetHResult());
    EXPECT_EQ(static_cast<HRESULT>(0x80004005), CWin32Error(0x80004005, place, "x").GetHResult());
    EXPECT_EQ(static_cast<HRESULT>(0x80072345), CWin32Error(0x12345, place, "x").GetHResult());
    EXPECT_STREQ("LastError: -1 : \"?\")", CWin32Error(0xFFFFFFFF, place, "x").GetDescription());
}

TEST(CoreError, ThrownIsWrittenBeforeTheStackUnwinds)
{
    CDebugOutputCapture capture;
    size_t cRecordsWhileUnwinding = 0;
    struct CWitness
    {
        const CDebugOutputCapture& capture;
        size_t& cSeen;
        ~CWitness() { cSeen = capture.Records().size(); }
    };
    try
    {
        CWitness witness{capture, cRecordsWhileUnwinding};
        CHECK_HRESULT(E_FAIL);
    }
    catch (const CCoreError&)
    {
    }
    EXPECT_EQ(1u, cRecordsWhileUnwinding);
}

TEST(CoreError, OneHandlerCatchesBothKindsAndTracesItsOwnPlace)
{
    CDebugOutputCapture capture;
    const CSourceLocation placeCheck{".\\Ostrelin", "Mar 31 2011", 184};
    const CSourceLocation placeCatch{".\\Ostrelin", "Mar 31 2011", 219};
    int cCaught = 0;
    for (int i = 0; i < 2; ++i)
    {
        try
        {
            if (i == 0)
                ThrowCOMError(hrUnknown, placeCheck, "pifTask->Run( &eInstruction )");
            ThrowWin32Error(ERROR_ACCESS_DENIED, placeCheck, "pifTask");
        }
        catch (const CCoreError& error)
        {
            error.TraceCaught(placeCatch);
            ++cCaught;
        }
    }
    EXPECT_EQ(2, cCaught);
    ASSERT_EQ(4u, capture.Records().size());
    EXPECT_EQ(".\\Ostrelin(184): Thrown: HRESULT: 0x8FFF0001 : \"?\") pifTask->Run( "
              "&eInstruction ): [Mar 31 2011]\n",
              capture.Records()[0]);
    EXPECT_EQ(".\\Ostrelin(219): Caught: HRESULT: 0x8FFF0001 : \"?\") pifTask->Run( "
              "&eInstruction ): [Mar 31 2011]\n",
              capture.Records()[1]);
    EXPECT_EQ(0u, capture.Records()[3].find(".\\Ostrelin(219): Caught: LastError: 5 : \""));
}
