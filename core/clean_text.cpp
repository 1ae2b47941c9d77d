#include "core/clean_text.h"

#include <cstdint>

namespace pelmora {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// Length of the valid UTF-8 sequence at text[at] and its code point, or 0 when it is not one
// (overlong forms, surrogates and values past U+10FFFF included).
std::size_t Utf8Sequence(std::string_view text, std::size_t at, std::uint32_t& code) {
    const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[at + i]); };
    const std::uint8_t lead = byte(0);
    std::size_t length = 0;
    std::uint32_t min = 0;
    if (lead < 0x80) {
        code = lead;
        return 1;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2, min = 0x80, code = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, min = 0x800, code = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, min = 0x10000, code = lead & 0x07;
    } else {
        return 0;
    }
    if (text.size() - at < length) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) {
            return 0;
        }
        code = code << 6 | (byte(i) & 0x3F);
    }
    if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        return 0;
    }
    return length;
}

bool IsControl(std::uint32_t code) {
    return code < 0x20 || (code >= 0x7F && code <= 0x9F);
}

}  // namespace

std::string CleanName(std::string_view name) {
    std::string out;
    out.reserve(name.size());
    for (std::size_t at = 0; at < name.size();) {
        std::uint32_t code = 0;
        const std::size_t length = Utf8Sequence(name, at, code);
        if (length == 0) {
            out += kReplacement;
            ++at;
            continue;
        }
        // U+FFFE and U+FFFF are no XML characters either.
        if (code == 0xFFFE || code == 0xFFFF) {
            out += kReplacement;
        } else if (!IsControl(code)) {
            out += name.substr(at, length);
        }
        at += length;
    }
    return out;
}

std::string DeviceIdProblem(std::string_view id) {
    // The logger stores bytes: its limit is one of bytes, whatever the characters.
    if (id.size() > kDeviceIdLimit) {
        return "The ID takes at most 32 bytes.";
    }
    for (std::size_t at = 0; at < id.size();) {
        std::uint32_t code = 0;
        const std::size_t length = Utf8Sequence(id, at, code);
        if (length == 0) {
            return "The ID must be valid UTF-8 text.";
        }
        // Line and paragraph separators break a line as CR LF does in the files the ID goes to.
        if (IsControl(code) || code == 0x2028 || code == 0x2029) {
            return "The ID must not contain control characters or line breaks.";
        }
        at += length;
    }
    return {};
}

}  // namespace pelmora
