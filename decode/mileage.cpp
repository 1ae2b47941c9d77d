#include "decode/mileage.h"

#include <algorithm>
#include <cmath>

#include "decode/geodesy.h"

namespace pelmora {
namespace {

using namespace wgs84;
// Bowring's products with the semi-axes cubed, so that no distance from the axis is needed.
constexpr double kRiseFactor = kEp2B * kA * kA * kA;
constexpr double kRunFactor = kE2A * kB * kB * kB;
// The sphere of GreatCircleDistance: 20001.6 km over 180 degrees is 111120 m a degree.
constexpr double kMetresPerRadian = kDegreesPerRadian * 111120.0;
// Past this half chord (steps of 6 km and more) the arc sine is called; below it its series.
constexpr double kSeriesLimit = 1e-3;

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
    // Every operation is done for every position and the special cases are chosen at the end,
    // so that the loop has no branch.
    Positions px, py, pz;
    for (std::size_t i = 0; i < px.size(); ++i) {
        const double p2 = x[i] * x[i] + y[i] * y[i];
        const double r2 = kA * kA * z[i] * z[i] + kB * kB * p2;
        const double overR3 = 1 / (r2 * std::sqrt(r2));
        // Bowring's latitude has tangent rise / (p m): numerator and denominator over p.
        double m = 1 - kRunFactor * p2 * overR3;
        double rise = z[i] + kRiseFactor * z[i] * z[i] * z[i] * overR3;
        // Only damaged positions reach these: on the axis a pole, as EcefToGeodetic has it; with
        // no latitude to be had, the equator.
        const bool onAxis = p2 <= 1e-10;
        const bool noLatitude = m == 0 && rise == 0;
        m = onAxis ? 0.0 : (noLatitude ? 1.0 : m);
        rise = onAxis ? (z[i] >= 0 ? 1.0 : -1.0) : (noLatitude ? 0.0 : rise);
        // The arc tangent keeps the latitude within +-90 degrees whatever the signs.
        const double sign = m < 0 ? -1.0 : 1.0;
        const double scale = sign / std::sqrt(m * m * p2 + rise * rise);
        px[i] = m * x[i] * scale;
        py[i] = m * y[i] * scale;
        pz[i] = rise * scale;
    }
    for (std::size_t i = 0; i < halfChords.size(); ++i) {
        const double dx = px[i + 1] - px[i];
        const double dy = py[i + 1] - py[i];
        const double dz = pz[i + 1] - pz[i];
        halfChords[i] = std::min(std::sqrt(dx * dx + dy * dy + dz * dz) * 0.5, 1.0);
    }
    // The series of the arc sine: below the limit its next term is under 1e-19 of the step.
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
        if (halfChords[i] > kSeriesLimit) {
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
