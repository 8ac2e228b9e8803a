// The benchmark sections and what they share.
#pragma once

#include <string>
#include <vector>

struct CBenchOptions
{
    bool fQuick = false;    // fewer repetitions, for a first look
    std::string workFolder; // this run's own folder, trailing backslash
    std::string binFolder;  // where the build's programs are
    int Runs(int cFull, int cQuick) const { return fQuick ? cQuick : cFull; }
};

// The ratios and totals repeated at the end of the run.
class CSummary
{
public:
    void Add(const std::string& line) { m_lines.push_back(line); }
    const std::vector<std::string>& Lines() const { return m_lines; }

private:
    std::vector<std::string> m_lines;
};

// "1.03 (target <= 1.10: met)"
std::string RatioAgainstTarget(double ratio, double target);

void RunSizeBench(const CBenchOptions& options, CSummary& summary);
void RunStartupBench(const CBenchOptions& options, CSummary& summary);
void RunTaskCostBench(const CBenchOptions& options, CSummary& summary);
void RunTaskScaleBench(const CBenchOptions& options, CSummary& summary);
void RunLoadBench(const CBenchOptions& options, CSummary& summary);
void RunExplainBench(const CBenchOptions& options, CSummary& summary);
void RunLargeStartBench(const CBenchOptions& options, CSummary& summary);
