// Ratios box_bench prints after a run: a measured benchmark against the reference it is
// compared with, both run in the same process.
//   BOX_BENCH_RATIO(BM_Measured, BM_Reference);   // at namespace scope, after both BENCHMARKs
#pragma once

bool RegisterBenchRatio(const char* szName, const char* szReference);

#define BOX_BENCH_RATIO(name, reference) \
    [[maybe_unused]] const bool g_bRatio_##name = RegisterBenchRatio(#name, #reference)
