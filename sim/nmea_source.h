#pragma once
// NMEA sentences the simulated logger emits while idle: one burst per second (GGA, GSA, RMC, VTG,
// and GSV every fifth second), checksums valid, upper-case hex as receivers send them.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace pelmora::sim {

// "*hh" checksum of the text between '$' and '*' (exclusive), upper-case hex.
std::string NmeaChecksum(const std::string& body);
// "$" body "*hh" CR LF.
std::string NmeaSentence(const std::string& body);

class NmeaSource {
  public:
    // utcSeconds: seconds since 1970-01-01 UTC of the burst. A slow drive around a fixed point.
    std::string Burst(std::int64_t utcSeconds);

    // What a client listening at another rate makes of bytes: as many bytes, none of them '$',
    // CR, LF or A0, so no line of it reads as NMEA and no frame starts in it.
    std::vector<std::uint8_t> Garble(const std::uint8_t* bytes, std::size_t count);

  private:
    std::uint64_t count_ = 0;
    std::uint64_t noise_ = 0x9E3779B97F4A7C15ULL;
};

}  // namespace pelmora::sim
