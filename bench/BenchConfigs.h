// Configuration documents for the benchmarks.
#pragma once

#include <string>

// One test task element with further attributes.
std::string TestTaskElement(const std::string& attributes = std::string());

// A configuration whose "Run" element holds these task elements, one a line.
std::string RunConfig(const std::string& tasks);

// A configuration of cTasks test tasks that return at once.
std::string TaskListConfig(long cTasks);

// A configuration of about cbWanted bytes: one test task, then settings
// elements of the kind a real installation carries.
std::string SizedConfig(size_t cbWanted);

// A configuration like the demo's: the sample tasks check files, apply an
// empty staging folder and start a program that ends at once; then a test
// task that logs the peak working set to logPath.
std::string DemoLikeConfig(const std::string& logPath);
