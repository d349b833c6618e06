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

// The console report, also adding up each benchmark's real time and iterations.
class CRatioReporter : public benchmark::ConsoleReporter {
  public:
    // Colours only on a terminal.
    CRatioReporter() : ConsoleReporter(isatty(fileno(stdout)) ? OO_ColorTabular : OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.error_occurred || run.run_type != Run::RT_Iteration) continue;
            CTotal& total = m_totals[run.run_name.function_name];
            total.dSeconds += run.real_accumulated_time;
            total.dIterations += static_cast<double>(run.iterations);
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
    // Real time per iteration over every repetition of the benchmark; 0 when it did not run.
    double MillisecondsPerIteration(const std::string& strName) const {
        const auto total = m_totals.find(strName);
        if (total == m_totals.end() || total->second.dIterations == 0) return 0;
        return total->second.dSeconds * 1e3 / total->second.dIterations;
    }
    std::map<std::string, CTotal> m_totals;
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
