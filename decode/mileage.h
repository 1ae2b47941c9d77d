#pragma once
// The trace summary's mileage: GreatCircleDistance between the geodetic points that
// EcefToGeodetic gives, on the same sphere, summed fix after fix.
//
// Worked out without one trigonometric call, so that it keeps pace with the decoder: the point of
// the unit sphere at a fix's latitude and longitude is the direction of (m x, m y, t), where
// t / (m p) is Bowring's tangent of the latitude and p the distance from the axis; a step's angle
// is twice the arc sine of half the chord between two such points. The arc cosine of
// GreatCircleDistance loses most of its digits on short steps and reads metre steps about 150
// parts in a million long; the chord keeps them to the micrometre.
#include <array>
#include <cstddef>
#include <cstdint>

namespace pelmora {

class MileageWalk {
  public:
    void Add(std::int32_t x, std::int32_t y, std::int32_t z) {
        x_[held_] = x;
        y_[held_] = y;
        z_[held_] = z;
        if (++held_ == x_.size()) {
            Walk();
        }
    }
    // Metres from the first position added to the last.
    double Metres();

    // Positions wait in a block and go through together: one fix's roots and divisions depend on
    // each other, those of different fixes do not and run side by side, several to a vector.
    static constexpr std::size_t kBlock = 512;

  private:
    void Walk();

    // [0] is the last position of the block before, from the second block on.
    std::array<double, kBlock + 1> x_{}, y_{}, z_{};
    std::size_t held_ = 0;
    double metres_ = 0;
};

}  // namespace pelmora
