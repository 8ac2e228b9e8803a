// Configurations, task manifests and records as the end-to-end tests write
// and read them.
#pragma once

#include "Installation.h"

#include <string>
#include <utility>
#include <vector>

inline std::string RunConfig(const std::string& tasks)
{
    return "<Config><Run>" + tasks + "</Run></Config>";
}

inline std::string TaskElement(const std::string& clsid, const std::string& attributes = "")
{
    return "<Task CLSID=\"" + clsid + "\" " + attributes + "/>";
}

// An installation's task manifest, as a packager's build writes it: each DLL
// (its name in bin) with its class.
inline std::string TaskManifestText(const std::vector<std::pair<std::string, std::string>>& files)
{
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
                       "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" "
                       "manifestVersion=\"1.0\">\n  <assemblyIdentity type=\"win32\" "
                       "name=\"Ostrelin.Tasks\" version=\"1.0.0.0\"/>\n";
    for (const auto& file : files)
        text += "  <file name=\"" + file.first + "\"><comClass clsid=\"" + file.second +
                "\" threadingModel=\"Apartment\"/></file>\n";
    return text + "</assembly>\n";
}

inline std::string Joined(const std::vector<std::string>& records)
{
    std::string text;
    for (const std::string& record : records)
        text += record;
    return text;
}

inline CRunOptions Explained(const std::string& value = "1")
{
    CRunOptions options;
    options.environment = {"OSTRELIN_EXPLAIN=" + value};
    return options;
}
