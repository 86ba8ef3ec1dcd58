// Measures the orbit evaluation and the garden's search, the literal reference against the
// fast path in the same run, so that their ratio holds even on a noisy machine.
//
// Besides Google Benchmark's own flags:
//   --seeds=N        searches seeds 1 to N (default 50)
//   --timings=FILE   writes every seed's search time and candidate count as CSV
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "garden/evaluate.h"
#include "garden/orbit_arcs.h"
#include "garden/orbit_math.h"
#include "garden/orbit_walk.h"
#include "random/random.h"
#include "reference_evaluate.h"

namespace roses {
namespace {

int seed_count = 50;
std::FILE* timings = nullptr;

// A c in the period-3 bulb: its orbit neither escapes nor settles, so every evaluation
// runs all passes through ordinary, non-special iterates.
const complex_f full_length_c{-0.12f, 0.75f};
const complex_f escaping_c{2.0f, 0.0f};

using evaluator = bool (*)(rose_shape&, complex_f);

void evaluate_repeatedly(benchmark::State& state, evaluator judge, complex_f c,
                         std::int32_t expected_hops) {
    rose_shape shape;
    judge(shape, c);
    if (shape.hops != expected_hops) {
        state.SkipWithError("the benchmark's c does not give the expected orbit length");
        return;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(judge(shape, c));
        benchmark::ClobberMemory();
    }
    state.counters["interpolated_points"] = benchmark::Counter(
        static_cast<double>(shape.hops) * (shape.points_per_hop - 1),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_evaluate_full_length_reference(benchmark::State& state) {
    evaluate_repeatedly(state, reference_evaluate, full_length_c, rose_shape::default_max_hops);
}

void BM_evaluate_full_length(benchmark::State& state) {
    evaluate_repeatedly(state, evaluate, full_length_c, rose_shape::default_max_hops);
}

// The baseline build of the arc kernel that every x86-64 processor runs, if this is one.
arcs::kernel sse2_kernel() {
    for (const auto& kernel : arcs::available_kernels()) {
        if (std::strcmp(kernel.name, "sse2") == 0) {
            return kernel.draw;
        }
    }
    return nullptr;
}

// The decisions, then the arcs by the SSE2 kernel.
bool evaluate_sse2(rose_shape& shape, complex_f c) {
    static const arcs::kernel draw = sse2_kernel();
    const bool rejected = walk_orbit(shape, c);
    const complex_f last =
        shape.points[static_cast<std::size_t>(shape.hops - 1) * shape.points_per_hop];
    draw({shape.points.data(), shape.hops, shape.points_per_hop, square_plus_c(last, shape.c)});
    return rejected;
}

void BM_evaluate_full_length_sse2(benchmark::State& state) {
    if (sse2_kernel() == nullptr) {
        state.SkipWithError("no SSE2 build of the arc kernel on this processor");
        return;
    }
    evaluate_repeatedly(state, evaluate_sse2, full_length_c, rose_shape::default_max_hops);
}

void BM_evaluate_escape(benchmark::State& state) {
    evaluate_repeatedly(state, evaluate, escaping_c, 1);
}

// Searches like the garden: d1 then d2 from uniform draws, c = (4 d2 - 2, 4 d1 - 2) as
// floats, on a fresh shape until a candidate is accepted. Returns the candidates tried.
std::int64_t search(evaluator judge, std::uint32_t seed) {
    std::mt19937 engine(seed);
    rose_shape shape;
    for (std::int64_t tried = 1;; ++tried) {
        const double d1 = uniform_from_output(static_cast<std::uint32_t>(engine()));
        const double d2 = uniform_from_output(static_cast<std::uint32_t>(engine()));
        const complex_f c = search_candidate(d1, d2);
        if (!judge(shape, c)) {
            return tried;
        }
    }
}

double percentile(std::vector<double> values, double fraction) {
    std::sort(values.begin(), values.end());
    const auto index =
        static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1) + 0.5);
    return values[index];
}

// One iteration searches every seed in turn; the reported time is per accepted rose, and
// the counters give the spread over the seeds (milliseconds).
void search_seeds(benchmark::State& state, evaluator judge, const char* name) {
    std::vector<double> best_ms(static_cast<std::size_t>(seed_count), 1e300);
    std::vector<std::int64_t> candidates(static_cast<std::size_t>(seed_count), 0);
    for (auto _ : state) {
        for (int seed = 1; seed <= seed_count; ++seed) {
            const auto start = std::chrono::steady_clock::now();
            const std::int64_t tried = search(judge, static_cast<std::uint32_t>(seed));
            const std::chrono::duration<double, std::milli> spent =
                std::chrono::steady_clock::now() - start;
            const auto k = static_cast<std::size_t>(seed - 1);
            best_ms[k] = std::min(best_ms[k], spent.count());
            candidates[k] = tried;
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * seed_count);
    state.counters["per_rose"] = benchmark::Counter(
        seed_count, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["median_ms"] = percentile(best_ms, 0.5);
    state.counters["p99_ms"] = percentile(best_ms, 0.99);
    state.counters["max_ms"] = *std::max_element(best_ms.begin(), best_ms.end());
    std::vector<double> counts(candidates.begin(), candidates.end());
    state.counters["median_candidates"] = percentile(counts, 0.5);
    if (timings) {
        for (std::size_t k = 0; k < best_ms.size(); ++k) {
            std::fprintf(timings, "%s,%zu,%.6f,%lld\n", name, k + 1, best_ms[k],
                         static_cast<long long>(candidates[k]));
        }
        std::fflush(timings);
    }
}

void BM_search_reference(benchmark::State& state) {
    search_seeds(state, reference_evaluate, "reference");
}

void BM_search(benchmark::State& state) {
    search_seeds(state, evaluate, "fast");
}

BENCHMARK(BM_evaluate_full_length_reference)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_evaluate_full_length)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_evaluate_full_length_sse2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_evaluate_escape)->Unit(benchmark::kNanosecond);
BENCHMARK(BM_search_reference)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_search)->Unit(benchmark::kMillisecond);

// Takes this program's own flags out of the argument list before Google Benchmark sees it.
void take_own_flags(int& argc, char** argv) {
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--seeds=", 8) == 0) {
            seed_count = std::max(1, std::atoi(argv[i] + 8));
        } else if (std::strncmp(argv[i], "--timings=", 10) == 0) {
            timings = std::fopen(argv[i] + 10, "w");
            if (!timings) {
                std::fprintf(stderr, "roses_bench: cannot write %s\n", argv[i] + 10);
                std::exit(1);
            }
            std::fprintf(timings, "evaluation,seed,ms,candidates\n");
        } else {
            argv[kept++] = argv[i];
        }
    }
    argc = kept;
}

} // namespace
} // namespace roses

int main(int argc, char** argv) {
    roses::take_own_flags(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (roses::timings) {
        std::fclose(roses::timings);
    }
    return 0;
}
