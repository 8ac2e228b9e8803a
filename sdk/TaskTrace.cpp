#include "TaskTrace.h"

#include "CoreBSTR.h"
#include "CoreTrace.h"

namespace OstrelinSdk
{
void TraceTaskText(const char* pszTask, const std::wstring& strText)
{
    CText strLine(pszTask);
    strLine += ": ";
    strLine += TextFromWide(strText.c_str(), static_cast<int>(strText.size()), CP_ACP);
    strLine += "\n";
    TraceText(strLine);
}
} // namespace OstrelinSdk
