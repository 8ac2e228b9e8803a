// What the XML tests share: the support fixtures, and the outcome of an action
// on the configuration layer with what it traced.
#pragma once

#include "ChildProcess.h"
#include "ComApartment.h"
#include "CoreXML.h"
#include "DebugOutputCapture.h"
#include "ScratchFolder.h"

#include <algorithm>
#include <cstdio>
#include <functional>

// The value the action gives, or the status, file and expression of the error
// it raised; then each record it traced before that error's Thrown record.
inline std::string Outcome(const std::function<std::string()>& action)
{
    CDebugOutputCapture capture;
    std::string result;
    size_t cThrown = 0;
    try
    {
        result = action();
    }
    catch (const CCOMError& error)
    {
        char szStatus[16];
        std::snprintf(szStatus, sizeof szStatus, "0x%08X ",
                      static_cast<unsigned>(error.GetHResult()));
        result = szStatus + std::string(error.GetPlace().file) + " " + error.GetExpression();
        cThrown = 1;
        EXPECT_TRUE(!capture.Records().empty() &&
                    capture.Records().back().find("): Thrown: HRESULT: ") != std::string::npos)
            << result;
    }
    for (size_t i = 0; i + cThrown < capture.Records().size(); ++i)
        result += " | " + capture.Records()[i];
    return result;
}

// The element's name, or "-" for an empty one.
inline std::string NameOf(const CXMLElement& element)
{
    CComBSTR strName;
    if (!element || FAILED(element.pif()->get_nodeName(strName.AcceptHere())))
        return "-";
    return TextFromWide(strName, strName.Length()).GetString();
}
