#pragma once
// Fixes for the library's tests: a trace file of fixes at given UTC times and ECEF positions.
#include <cstdio>
#include <string>
#include <vector>

#include "core/time_value.h"
#include "decode/trace_fix.h"

namespace pelmora::testing {

struct TestFix {
    TimeValue utc = 0;
    std::int32_t x = 4177000, y = 850000, z = 4727000;  // near Munich
    int speed = 30;
};

inline TraceFixBytes Encode(const TestFix& f) {
    const CalendarFields c = BreakTimeValue(f.utc);
    return EncodeTraceFix(c.year, c.month, c.day, c.hour, c.minute, static_cast<float>(c.second),
                          f.x, f.y, f.z, f.speed);
}

inline void WriteTrace(const std::string& path, const std::vector<TestFix>& fixes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    for (const TestFix& f : fixes) {
        const TraceFixBytes bytes = Encode(f);
        std::fwrite(bytes.data(), 1, bytes.size(), file);
    }
    std::fclose(file);
}

// count fixes every step seconds from utc, each dx metres east of the one before.
inline std::vector<TestFix> Drive(TimeValue utc, int count, int step = 2, int dx = 10) {
    std::vector<TestFix> fixes;
    for (int i = 0; i < count; ++i) {
        TestFix f;
        f.utc = utc + static_cast<TimeValue>(i) * step;
        f.y += i * dx;
        fixes.push_back(f);
    }
    return fixes;
}

}  // namespace pelmora::testing
