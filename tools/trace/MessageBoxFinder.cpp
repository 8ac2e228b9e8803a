#include "MessageBoxFinder.h"

namespace
{
const char szDialogClass[] = "#32770";
const int idMessageText = 0xFFFF; // the static control that holds the box's text
const size_t nLongestText = 64 * 1024;

struct CSearch
{
    DWORD dwProcessId;
    std::vector<HWND> dialogs;
};

BOOL CALLBACK CollectDialog(HWND hwnd, LPARAM lParam)
{
    CSearch& search = *reinterpret_cast<CSearch*>(lParam);
    DWORD dwOwner = 0;
    ::GetWindowThreadProcessId(hwnd, &dwOwner);
    char szClass[16] = "";
    // A dialog is visible only once its text is in place.
    if (dwOwner == search.dwProcessId && ::IsWindowVisible(hwnd) &&
        ::GetClassNameA(hwnd, szClass, sizeof(szClass)) > 0 &&
        lstrcmpA(szClass, szDialogClass) == 0)
        search.dialogs.push_back(hwnd);
    return TRUE;
}

// For another process's window the system answers from its own copy of the
// text, without a message that a hung program would never answer.
// (GetWindowTextLengthA would send one.)
std::string GetText(HWND hwnd)
{
    std::vector<char> buffer(nLongestText + 1, '\0');
    const int cch = ::GetWindowTextA(hwnd, buffer.data(), static_cast<int>(buffer.size()));
    return std::string(buffer.data(), cch > 0 ? static_cast<size_t>(cch) : 0);
}
} // namespace

std::vector<CMessageBoxWindow> FindMessageBoxes(DWORD dwProcessId)
{
    CSearch search = {dwProcessId, {}};
    ::EnumWindows(CollectDialog, reinterpret_cast<LPARAM>(&search));

    std::vector<CMessageBoxWindow> boxes;
    for (HWND hwnd : search.dialogs)
    {
        CMessageBoxWindow box;
        box.hwnd = hwnd;
        box.caption = GetText(hwnd);
        const HWND hwndText = ::GetDlgItem(hwnd, idMessageText);
        if (hwndText != nullptr)
            box.text = GetText(hwndText);
        box.hasOkButton = ::GetDlgItem(hwnd, IDOK) != nullptr;
        boxes.push_back(box);
    }
    return boxes;
}

bool PressOk(HWND hwndBox)
{
    const HWND hwndOk = ::GetDlgItem(hwndBox, IDOK);
    if (hwndOk == nullptr)
        return false;
    // What the button itself sends when clicked; needs no input focus.
    return ::PostMessageA(hwndBox, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                          reinterpret_cast<LPARAM>(hwndOk)) != FALSE;
}
