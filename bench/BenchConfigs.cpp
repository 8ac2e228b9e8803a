#include "BenchConfigs.h"

#include "TestTaskClsid.h"

#include <cstdio>

std::string TestTaskElement(const std::string& attributes)
{
    return std::string("<Task CLSID=\"") + szOstrelinTestTaskClsid + "\"" +
           (attributes.empty() ? "" : " " + attributes) + "/>";
}

std::string RunConfig(const std::string& tasks)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<Config>\r\n  <Run>\r\n" + tasks +
           "  </Run>\r\n</Config>\r\n";
}

std::string TaskListConfig(long cTasks)
{
    const std::string line = "    " + TestTaskElement() + "\r\n";
    std::string tasks;
    tasks.reserve(line.size() * static_cast<size_t>(cTasks));
    for (long iTask = 0; iTask < cTasks; ++iTask)
        tasks += line;
    return RunConfig(tasks);
}

std::string SizedConfig(size_t cbWanted)
{
    const std::string head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<Config>\r\n  <Run>\r\n"
                             "    " +
                             TestTaskElement() + "\r\n  </Run>\r\n  <Settings>\r\n";
    const std::string tail = "  </Settings>\r\n</Config>\r\n";
    std::string xml = head;
    xml.reserve(cbWanted + 256);
    char szItem[256];
    for (unsigned long iItem = 0; xml.size() + tail.size() < cbWanted; ++iItem)
    {
        std::snprintf(szItem, sizeof(szItem),
                      "    <Item Name=\"item%06lu\" Url=\"https://cdn.example.com/club/%lu.pak\" "
                      "Size=\"%lu\" Check=\"yes\"/>\r\n",
                      iItem, iItem * 7919, iItem * 131);
        xml += szItem;
    }
    return xml + tail;
}

std::string DemoLikeConfig(const std::string& logPath)
{
    return RunConfig(
        "    <CheckFiles CLSID=\"{791C17A1-53EF-4991-9737-093AEC4A9792}\" "
        "Files=\"Ostrelin.exe\"/>\r\n"
        "    <ApplyUpdate CLSID=\"{D3F6EF44-2AD0-48D5-9F66-ECCF3BCAD858}\" "
        "Staging=\"..\\update\"/>\r\n"
        "    <StartClient CLSID=\"{80E8DBC2-87FA-4389-80BF-632FE5E394A2}\" "
        "Program=\"%SystemRoot%\\system32\\cmd.exe\" Arguments=\"/c exit\" Wait=\"yes\"/>\r\n"
        "    " +
        TestTaskElement("Name=\"Peak\" LogPeak=\"1\" Log=\"" + logPath + "\"") + "\r\n");
}
