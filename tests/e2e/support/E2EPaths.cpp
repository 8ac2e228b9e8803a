#include "E2EPaths.h"

#include <windows.h>

#include <filesystem>
#include <stdexcept>
#include <system_error>

std::string GetTestTempFolder()
{
    static const std::string folder = []
    {
        char szTemp[MAX_PATH + 1] = "";
        ::GetTempPathA(sizeof(szTemp), szTemp);
        const std::string path =
            std::string(szTemp) + "ostrelin-e2e-" + std::to_string(::GetCurrentProcessId()) + "\\";
        // A folder left by an earlier process of the same id is stale.
        RemoveFolder(path);
        if (!::CreateDirectoryA(path.c_str(), nullptr))
            throw std::runtime_error("cannot create " + path);
        return path;
    }();
    return folder;
}

void RemoveFolder(const std::string& folder)
{
    std::error_code error;
    std::filesystem::remove_all(std::filesystem::u8path(folder), error);
}
