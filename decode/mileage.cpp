#include "decode/mileage.h"

#include <algorithm>
#include <cmath>

#include "decode/geodesy.h"

namespace pelmora {
namespace {

using Positions = std::array<double, MileageWalk::kBlock + 1>;
using Steps = std::array<double, MileageWalk::kBlock>;

// Four positions to a vector where the processor has AVX2, two elsewhere: the same operations in
// the same order either way, so the same metres to the last bit.
#if defined(PELMORA_AVX2_CLONES) && defined(__GNUC__)
#define PELMORA_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define PELMORA_VECTOR_CLONES
#endif

// The metres of every step of a whole block, by the series, and the half chords for the long
// steps. The same count of positions every time, so the compiler can take several at once.
PELMORA_VECTOR_CLONES
void BlockSteps(const Positions& x, const Positions& y, const Positions& z, Steps& halfChords,
                Steps& steps) {
    Positions px, py, pz;
    for (std::size_t i = 0; i < px.size(); ++i) {
        const Direction d = DirectionOf(x[i], y[i], z[i]);
        px[i] = d.x;
        py[i] = d.y;
        pz[i] = d.z;
    }
    for (std::size_t i = 0; i < halfChords.size(); ++i) {
        const double dx = px[i + 1] - px[i];
        const double dy = py[i + 1] - py[i];
        const double dz = pz[i + 1] - pz[i];
        halfChords[i] = std::min(std::sqrt(dx * dx + dy * dy + dz * dz) * 0.5, 1.0);
    }
    // The series of the arc sine for every step; ArcMetres picks the arc sine past its limit.
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const double h = halfChords[i];
        const double h2 = h * h;
        steps[i] = 2 * h * (1 + h2 * (1.0 / 6 + h2 * (3.0 / 40))) * kMetresPerRadian;
    }
}

// Four running sums over the block, always in the same order: the total does not depend on how
// the fixes were fed.
PELMORA_VECTOR_CLONES
double BlockSum(const Steps& steps) {
    std::array<double, 4> sums{};
    for (std::size_t i = 0; i < steps.size(); i += sums.size()) {
        for (std::size_t k = 0; k < sums.size(); ++k) {
            sums[k] += steps[i + k];
        }
    }
    return (sums[0] + sums[1]) + (sums[2] + sums[3]);
}

}  // namespace

void MileageWalk::Walk() {
    if (held_ < 2) {
        return;
    }
    Steps halfChords;
    Steps steps;
    BlockSteps(x_, y_, z_, halfChords, steps);
    const std::size_t count = held_ - 1;
    for (std::size_t i = 0; i < count; ++i) {
        if (halfChords[i] > kArcSeriesLimit) {
            steps[i] = 2 * std::asin(halfChords[i]) * kMetresPerRadian;
        }
    }
    // Steps past the held positions count as nothing.
    std::fill(steps.begin() + static_cast<std::ptrdiff_t>(count), steps.end(), 0.0);
    metres_ += BlockSum(steps);
    x_[0] = x_[count];
    y_[0] = y_[count];
    z_[0] = z_[count];
    held_ = 1;
}

double MileageWalk::Metres() {
    Walk();
    return metres_;
}

}  // namespace pelmora
