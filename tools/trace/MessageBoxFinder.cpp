#include "MessageBoxFinder.h"

namespace
{
const char szDialogClass[] = "#32770";
const int idMessageText = 0xFFFF; // the static control that holds the box's text

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

// Reads another process's window text from the system, without a message.
std::string GetText(HWND hwnd)
{
    const int cch = ::GetWindowTextLengthA(hwnd);
    if (cch <= 0)
        return std::string();
    std::string text(static_cast<size_t>(cch) + 1, '\0');
    text.resize(static_cast<size_t>(::GetWindowTextA(hwnd, &text[0], cch + 1)));
    return text;
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
