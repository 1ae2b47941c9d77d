#pragma once
// The logger writes its records from the start of each 4096-byte flash sector and leaves the rest
// erased; only the run of well-formed records at each sector's start is log data.
#include <cstddef>
#include <cstdint>

namespace pelmora {

// Keeps, of each 4096-byte block of buffer[0, count), the whole records at its start, packed
// together in place. The walk never leaves its block: a sector filled to its last byte is kept
// once and a record cut by the block's end is dropped. Returns the kept length.
std::size_t FilterLogRecords(std::uint8_t* buffer, std::size_t count);

}  // namespace pelmora
