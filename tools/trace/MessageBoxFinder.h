// Finds the message boxes a process shows, reads them and presses OK.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct CMessageBoxWindow
{
    HWND hwnd = nullptr;
    std::string caption;
    std::string text;
    bool hasOkButton = false;
};

// The visible dialog windows ("#32770") of the process, with caption and text.
std::vector<CMessageBoxWindow> FindMessageBoxes(DWORD dwProcessId);

// Posts a press of the box's OK button; false when the box has none.
bool PressOk(HWND hwndBox);
