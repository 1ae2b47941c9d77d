#pragma once
// The trace summary's mileage: ArcMetres (decode/geodesy.h) between the directions of
// consecutive fixes, summed fix after fix; the conversion's markers sum the same steps.
//
// Worked out without one trigonometric call, so that it keeps pace with the decoder.
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
