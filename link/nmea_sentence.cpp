#include "link/nmea_sentence.h"

#include <array>
#include <cstring>

namespace pelmora {

namespace {

constexpr std::array<const char*, 7> kHeaders = {"$GPGGA,", "$GPVTG,", "$GPGLL,", "$GPGSA,",
                                                 "$GPGSV,", "$GPRMC,", "$GPZDA,"};
constexpr std::size_t kHeaderLength = 7;

// The receiver writes upper-case digits only; anything else counts as 0.
unsigned HexDigit(unsigned char c) {
    if (c >= '0' && c <= '9') {
        return static_cast<unsigned>(c - '0');
    }
    if (c >= 'A' && c <= 'F') {
        return static_cast<unsigned>(c - 'A' + 10);
    }
    return 0;
}

}  // namespace

int RecognizeSentence(unsigned char* buffer, std::size_t size) {
    if (buffer == nullptr || size == 0) {
        return kSentenceUnknown;
    }
    std::size_t length = 0;
    while (length < size && buffer[length] != 0) {
        ++length;
    }
    for (std::size_t pos = length; pos-- > 1;) {
        if (buffer[pos] == 0x0A) {
            buffer[pos] = 0;
            --length;
            break;
        }
    }
    if (length < kHeaderLength) {
        return kSentenceUnknown;
    }
    int code = kSentenceUnknown;
    for (std::size_t h = 0; h < kHeaders.size(); ++h) {
        if (std::memcmp(buffer, kHeaders[h], kHeaderLength) == 0) {
            code = static_cast<int>(h) + 1;
            break;
        }
    }
    if (code == kSentenceUnknown) {
        return code;
    }
    // The text still ends in CR: "*hh" sit just before it.
    unsigned char sum = 0;
    for (std::size_t pos = 1; pos + 5 <= length; ++pos) {
        sum = static_cast<unsigned char>(sum ^ buffer[pos]);
    }
    const unsigned want = HexDigit(buffer[length - 3]) * 16 + HexDigit(buffer[length - 2]);
    return sum == want ? code : kSentenceBadChecksum;
}

}  // namespace pelmora
