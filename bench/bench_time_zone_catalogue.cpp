// The Application Setting dialog reads the whole zone list each time it opens.
#include <benchmark/benchmark.h>

#include "core/time_zone_catalogue.h"
#include "link/port_list.h"
#include "ui/qt_time_zone_source.h"

namespace {

void BM_SystemZoneCatalogue(benchmark::State& state) {
    const pelmora::QtTimeZoneSource source;
    for (auto _ : state) {
        pelmora::CTimeZoneInfoManager catalogue(source);
        benchmark::DoNotOptimize(catalogue.FindComputerZone(source.ComputerZone()));
    }
}
BENCHMARK(BM_SystemZoneCatalogue)->Unit(benchmark::kMillisecond);

void BM_SortPortNames(benchmark::State& state) {
    std::vector<std::string> found;
    for (int i = 200; i > 0; --i) {
        found.push_back("/dev/ttyUSB" + std::to_string(i));
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(pelmora::SortPortNames(found));
    }
}
BENCHMARK(BM_SortPortNames);

}  // namespace

BENCHMARK_MAIN();
