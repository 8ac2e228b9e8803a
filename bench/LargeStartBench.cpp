// Whole starts with large configurations: the DOM's stream load grows with the
// square of the size under Wine, so the sizes at which a start passes 30 s and
// 5 minutes are fitted from a few measured sizes, not waited for.
#include "Bench.h"
#include "BenchConfigs.h"
#include "BenchSupport.h"

#include <cmath>

namespace
{
// The least-squares a + b*x + c*x^2 through the points (normal equations).
void FitQuadratic(const std::vector<double>& x, const std::vector<double>& y, double fit[3])
{
    double s[5] = {}, t[3] = {};
    for (size_t i = 0; i < x.size(); ++i)
        for (int k = 0; k < 5; ++k)
        {
            s[k] += std::pow(x[i], k);
            if (k < 3)
                t[k] += y[i] * std::pow(x[i], k);
        }
    double m[3][4] = {{s[0], s[1], s[2], t[0]}, {s[1], s[2], s[3], t[1]}, {s[2], s[3], s[4], t[2]}};
    for (int i = 0; i < 3; ++i) // Gauss-Jordan; the matrix is positive definite
        for (int j = 0; j < 3; ++j)
            if (j != i)
            {
                const double f = m[j][i] / m[i][i];
                for (int k = 0; k < 4; ++k)
                    m[j][k] -= f * m[i][k];
            }
    for (int i = 0; i < 3; ++i)
        fit[i] = m[i][3] / m[i][i];
}

// The size in MB at which the fitted time reaches seconds.
double SizeAt(const double fit[3], double seconds)
{
    const double a = fit[2], b = fit[1], c = fit[0] - seconds;
    return a > 0 ? (-b + std::sqrt(b * b - 4 * a * c)) / (2 * a) : -c / b;
}
} // namespace

void RunLargeStartBench(const CBenchOptions& options, CSummary& summary)
{
    Print("\n== Whole starts with large configurations (plain, one test task and settings)\n");
    std::vector<double> sizes = {1, 4, 8, 16}, seconds;
    if (!options.fQuick)
        sizes.push_back(32);
    const std::string root = options.workFolder + "large\\";
    ::CreateDirectoryA(root.c_str(), nullptr);
    ::CreateDirectoryA((root + "bin").c_str(), nullptr);
    CopyOrThrow(options.binFolder + "Ostrelin.exe", root + "bin\\Ostrelin.exe");
    for (const double mb : sizes)
    {
        WriteBytes(root + "bin\\Config.xml", SizedConfig(static_cast<size_t>(mb * 1024 * 1024)));
        const CProcessRun run = RunProcess("\"" + root + "bin\\Ostrelin.exe\"");
        seconds.push_back(run.seconds);
        Print("  %5.0f MB: %8.2f s (exit code %lu)\n", mb, run.seconds,
              static_cast<unsigned long>(run.exitCode));
    }
    double fit[3];
    FitQuadratic(sizes, seconds, fit);
    char szLine[200];
    std::snprintf(szLine, sizeof szLine,
                  "large starts: %.2f s at 16 MB; fitted, a start passes 30 s at about %.0f MB and "
                  "5 minutes at about %.0f MB (extrapolated)",
                  seconds[3], SizeAt(fit, 30), SizeAt(fit, 300));
    Print("  %s\n", szLine);
    summary.Add(szLine);
}
