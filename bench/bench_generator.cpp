// Speed of the password generator behind the editor's button: one password from all four
// classes at the default length 20, the longest length 50, and the shortest length 8, where
// about half of the drawn passwords miss a class and are drawn again. A click must stay well
// under a millisecond.
#include "app/PasswordGenerator.h"

#include <benchmark/benchmark.h>

namespace {

void BM_Generate(benchmark::State& state)
{
    const int length = static_cast<int>(state.range(0));
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            PasswordGenerator::Generate(length, PasswordGenerator::AllClasses()));
    }
}
BENCHMARK(BM_Generate)->ArgName("length")->Arg(20)->Arg(50)->Arg(8)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
