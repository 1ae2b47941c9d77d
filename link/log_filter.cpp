#include "link/log_filter.h"

#include <cstring>

#include "decode/raw_record.h"
#include "link/log_status.h"

namespace pelmora {

std::size_t FilterLogRecords(std::uint8_t* buffer, std::size_t count) {
    std::size_t kept = 0;
    for (std::size_t block = 0; block < count; block += kSectorSize) {
        const std::size_t end = count - block < kSectorSize ? count : block + kSectorSize;
        std::size_t p = block;
        while (p < end) {
            const std::size_t length = RawRecordLength(buffer[p]);
            if (length == 0 || length > end - p) {
                break;
            }
            p += length;
        }
        if (p > block && kept != block) {
            std::memmove(buffer + kept, buffer + block, p - block);
        }
        kept += p - block;
    }
    return kept;
}

}  // namespace pelmora
