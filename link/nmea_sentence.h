#pragma once
// Recognition of the NMEA sentences that the receiver emits by itself.
#include <cstddef>

namespace pelmora {

// Sentence codes: 1..7 for "$GPGGA,", "$GPVTG,", "$GPGLL,", "$GPGSA,", "$GPGSV,", "$GPRMC,",
// "$GPZDA,"; 8 for one of those with a wrong checksum; 0 for anything else.
inline constexpr int kSentenceUnknown = 0;
inline constexpr int kSentenceBadChecksum = 8;

// Recognises the NUL-terminated line in buffer (at most size bytes are looked at). The last LF
// of the line is replaced by NUL first, so the text ends in CR before the NUL. The checksum is
// the XOR of the characters after '$' up to the one before '*', compared with the two
// upper-case hexadecimal digits after '*' (any other character counts as 0).
int RecognizeSentence(unsigned char* buffer, std::size_t size);

}  // namespace pelmora
