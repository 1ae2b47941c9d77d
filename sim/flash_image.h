#pragma once
// The simulated logger's track flash: 4096-byte sectors, records laid from each sector's start,
// erased (0xFF) tails. Plain value type; not shared between threads by itself.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace pelmora::sim {

inline constexpr std::size_t kSectorSize = 4096;
// The log status reply reports the write address of the log, which starts this far into the flash.
inline constexpr std::uint32_t kLogBaseAddress = 8192;
// Sectors of a healthy logger (2 MB of track log).
inline constexpr std::uint16_t kDefaultTotalSectors = 512;

// Whole records from the start of one sector up to the first byte that starts no record, never past
// the sector's end: what a correct download keeps of that sector.
std::span<const std::uint8_t> ValidRecordsOfSector(std::span<const std::uint8_t> sector);

class FlashImage {
  public:
    // No sectors at all: the logger that reports errors (its status gives total sectors 0).
    FlashImage() = default;
    // An erased flash of this many sectors.
    explicit FlashImage(std::uint16_t totalSectors);

    // Lays the records one after another; a record that does not fit in the rest of a sector
    // starts the next one, so no record straddles two sectors. Records that do not fit in the
    // flash are dropped (the logger's one-way log is full).
    static FlashImage FromRecords(const std::vector<std::vector<std::uint8_t>>& records,
                                  std::uint16_t totalSectors = kDefaultTotalSectors);

    std::uint16_t TotalSectors() const { return total_; }
    // Offset of the next free byte from the flash's start (0 when empty).
    std::size_t WriteOffset() const { return writeOffset_; }
    // The log write address of the status reply: kLogBaseAddress + WriteOffset().
    std::uint32_t WriteAddress() const;
    // Sectors a download reads: up to and including the sector the write offset lies in.
    std::uint16_t SectorsInUse() const;
    // "Sectors left" of the status reply: 0 when full, else total - in use + 1, so that the
    // client's total - left + 1 gives SectorsInUse().
    std::uint16_t SectorsLeft() const;
    std::size_t SectorsFilledToLastByte() const;

    // Appends one record, moving to the next sector when it does not fit; false when full or
    // when the bytes start no record.
    bool AppendRecord(std::span<const std::uint8_t> record);
    // Raw write (tests that plant awkward bytes); bounded by the flash, moves the write offset
    // to the end of what was written when it lies further.
    void WriteAt(std::size_t offset, std::span<const std::uint8_t> bytes);
    void SetWriteOffset(std::size_t offset);
    // Empties the log: every byte 0xFF, write offset 0.
    void Erase();

    std::span<const std::uint8_t> Bytes() const { return bytes_; }
    std::span<const std::uint8_t> Sector(std::uint16_t index) const;

    // What a correct download of SectorsInUse() sectors yields after its record filter.
    std::vector<std::uint8_t> ExpectedDownload() const;

  private:
    std::uint16_t total_ = 0;
    std::size_t writeOffset_ = 0;
    std::vector<std::uint8_t> bytes_;
};

// The flash the simulated logger starts with: the built-in recorded drive laid into sectors.
FlashImage BuiltInFlash();

// A compact record whose bytes 3..6 read "END" NUL (69 s after the last fix, 313 m away): the
// end marker of a ranged read is in-band, and a download must keep such a record as data.
std::vector<std::uint8_t> InBandMarkerRecord();
// The built-in drive with such a record every `every` records.
FlashImage BuiltInFlashWithInBandMarkers(std::size_t every = 400);

}  // namespace pelmora::sim
