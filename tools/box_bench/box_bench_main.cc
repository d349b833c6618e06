// box_bench [--benchmark_* options]: runs the benchmarks, then prints each registered ratio
// of real time per iteration (measured / reference).
#include <benchmark/benchmark.h>

#include <stdio.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "tools/box_bench/bench_ratio.h"

namespace {

std::vector<std::pair<std::string, std::string>>& Ratios() {
    static std::vector<std::pair<std::string, std::string>> ratios;
    return ratios;
}

// The console report, also keeping each benchmark's real time per iteration.
class CRatioReporter : public benchmark::ConsoleReporter {
  public:
    // Colours only on a terminal.
    CRatioReporter() : ConsoleReporter(isatty(fileno(stdout)) ? OO_ColorTabular : OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.error_occurred) continue;
            const std::string& strName = run.run_name.function_name;
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "mean") {
                m_means[strName] = run.GetAdjustedRealTime() * 1e3 /
                                   benchmark::GetTimeUnitMultiplier(run.time_unit);
            } else if (run.run_type == Run::RT_Iteration) {
                CTotal& total = m_totals[strName];
                total.dSeconds += run.real_accumulated_time;
                total.dIterations += static_cast<double>(run.iterations);
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    void PrintRatios() const {
        for (const auto& [strName, strReference] : Ratios()) {
            const double dName = MillisecondsPerIteration(strName);
            const double dReference = MillisecondsPerIteration(strReference);
            if (dName <= 0 || dReference <= 0) continue;
            std::printf("%s: %.3f ms, %s: %.3f ms, ratio %.2f\n", strName.c_str(), dName,
                        strReference.c_str(), dReference, dName / dReference);
        }
    }

  private:
    struct CTotal {
        double dSeconds = 0;
        double dIterations = 0;
    };
    // Real time per iteration: the mean of the repetitions when there are several, else over
    // its one run; 0 when it did not run.
    double MillisecondsPerIteration(const std::string& strName) const {
        const auto mean = m_means.find(strName);
        if (mean != m_means.end()) return mean->second;
        const auto total = m_totals.find(strName);
        if (total == m_totals.end() || total->second.dIterations == 0) return 0;
        return total->second.dSeconds * 1e3 / total->second.dIterations;
    }
    std::map<std::string, CTotal> m_totals;
    std::map<std::string, double> m_means;
};

}  // namespace

bool RegisterBenchRatio(const char* szName, const char* szReference) {
    Ratios().emplace_back(szName, szReference);
    return true;
}

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    CRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatios();
    benchmark::Shutdown();
    return 0;
}
