#include "convert/convert_text.h"

#include <cerrno>

#include <charconv>
#include <cmath>
#include <cstring>

namespace pelmora {
namespace {

constexpr std::size_t kBlockSize = std::size_t{1} << 20;

void TwoDigits(char* p, int v) {
    p[0] = static_cast<char>('0' + (v / 10) % 10);
    p[1] = static_cast<char>('0' + v % 10);
}

}  // namespace

std::size_t FormatFixed(char* out, std::size_t capacity, double value, int precision) {
    // Fast path for the coordinates, heights and speeds of a trace: scale, round, print the
    // integer. The scaled product carries at most one rounding (relative 2^-53), so whenever its
    // fraction is clearly away from one half the result equals the exact decimal rounding that
    // printf and to_chars give; near a tie the exact formatter decides.
    static constexpr double kPow10[] = {1, 10, 100, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};
    static constexpr std::uint64_t kIntPow10[] = {1,      10,      100,      1000,      10000,
                                                  100000, 1000000, 10000000, 100000000, 1000000000};
    if (precision >= 0 && precision <= 9 && std::isfinite(value) && capacity >= 40) {
        const bool negative = std::signbit(value);
        const double scaled = (negative ? -value : value) * kPow10[precision];
        if (scaled < 4e15) {
            const double whole = std::floor(scaled);
            const double fraction = scaled - whole;
            if (std::fabs(fraction - 0.5) > scaled * 4.5e-16 + 1e-300) {
                const std::uint64_t rounded =
                    static_cast<std::uint64_t>(whole) + (fraction > 0.5 ? 1 : 0);
                const std::uint64_t unit = kIntPow10[precision];
                char* p = out;
                if (negative) {
                    *p++ = '-';
                }
                p = std::to_chars(p, out + capacity, rounded / unit).ptr;
                if (precision > 0) {
                    *p++ = '.';
                    std::uint64_t digits = rounded % unit;
                    for (int i = precision - 1; i >= 0; --i) {
                        p[i] = static_cast<char>('0' + digits % 10);
                        digits /= 10;
                    }
                    p += precision;
                }
                return static_cast<std::size_t>(p - out);
            }
        }
    }
    const auto r = std::to_chars(out, out + capacity, value, std::chars_format::fixed, precision);
    if (r.ec != std::errc{}) {
        // Only absurd magnitudes (beyond 1e300) do not fit; say so rather than write garbage.
        const std::size_t n = std::min<std::size_t>(capacity, 3);
        std::memcpy(out, "inf", n);
        return n;
    }
    return static_cast<std::size_t>(r.ptr - out);
}

TextSink::TextSink(std::FILE* file, bool crlf)
    : file_(file), crlf_(crlf), buffer_(file != nullptr ? kBlockSize : kBlockSize / 16) {}

void TextSink::Drain(std::size_t need) {
    if (used_ > 0) {
        if (file_ != nullptr) {
            if (!failed_ && std::fwrite(buffer_.data(), 1, used_, file_) != used_) {
                failed_ = true;
                error_ = errno;
            }
        } else {
            memory_.append(buffer_.data(), used_);
        }
        written_ += used_;
        used_ = 0;
    }
    if (buffer_.size() < need) {
        buffer_.resize(need);
    }
}

void TextSink::PutRaw(std::string_view bytes) {
    if (bytes.size() > buffer_.size()) {
        Drain(0);
        if (file_ != nullptr) {
            if (!failed_ && std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) {
                failed_ = true;
                error_ = errno;
            }
        } else {
            memory_.append(bytes);
        }
        written_ += bytes.size();
        return;
    }
    std::memcpy(Reserve(bytes.size()), bytes.data(), bytes.size());
    used_ += bytes.size();
}

void TextSink::Put(std::string_view text) {
    if (!crlf_) {
        PutRaw(text);
        return;
    }
    while (!text.empty()) {
        const void* nl = std::memchr(text.data(), '\n', text.size());
        if (nl == nullptr) {
            PutRaw(text);
            return;
        }
        const std::size_t n = static_cast<std::size_t>(static_cast<const char*>(nl) - text.data());
        PutRaw(text.substr(0, n));
        PutRaw("\r\n");
        text.remove_prefix(n + 1);
    }
}

void TextSink::PutFixed(double value, int precision) {
    constexpr std::size_t kRoom = 400;  // any finite double below 1e300 with 9 decimals
    used_ += FormatFixed(Reserve(kRoom), kRoom, value, precision);
}

void TextSink::PutInt(std::int64_t value) {
    char* p = Reserve(24);
    used_ += static_cast<std::size_t>(std::to_chars(p, p + 24, value).ptr - p);
}

void TextSink::DateOf(std::int64_t day, int& year, int& month, int& dayOfMonth) {
    if (day != cachedDay_) {
        const CalendarFields f = BreakTimeValue(day * 86400);
        cachedDay_ = day;
        cachedYear_ = f.year;
        cachedMonth_ = f.month;
        cachedDayOfMonth_ = f.day;
    }
    year = cachedYear_;
    month = cachedMonth_;
    dayOfMonth = cachedDayOfMonth_;
}

void TextSink::PutTime(TimeValue t, std::string_view pattern) {
    std::int64_t day = t / 86400;
    std::int64_t seconds = t % 86400;
    if (seconds < 0) {
        seconds += 86400;
        --day;
    }
    CalendarFields f;
    DateOf(day, f.year, f.month, f.day);
    f.hour = static_cast<int>(seconds / 3600);
    f.minute = static_cast<int>(seconds % 3600 / 60);
    f.second = static_cast<int>(seconds % 60);
    std::size_t literal = 0;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != '%' || i + 1 == pattern.size()) {
            continue;
        }
        Put(pattern.substr(literal, i - literal));
        const char conversion = pattern[i + 1];
        char* p = Reserve(16);
        switch (conversion) {
            case 'Y':
                if (f.year >= 1000 && f.year <= 9999) {
                    TwoDigits(p, f.year / 100);
                    TwoDigits(p + 2, f.year % 100);
                    used_ += 4;
                } else {
                    Put(FormatTime(t, "%Y"));
                }
                break;
            case 'y':
                TwoDigits(p, ((f.year % 100) + 100) % 100);
                used_ += 2;
                break;
            case 'm':
                TwoDigits(p, f.month);
                used_ += 2;
                break;
            case 'd':
                TwoDigits(p, f.day);
                used_ += 2;
                break;
            case 'H':
                TwoDigits(p, f.hour);
                used_ += 2;
                break;
            case 'M':
                TwoDigits(p, f.minute);
                used_ += 2;
                break;
            case 'S':
                TwoDigits(p, f.second);
                used_ += 2;
                break;
            default:
                Put(FormatTime(t, std::string(pattern.substr(i, 2))));
        }
        ++i;
        literal = i + 1;
    }
    if (literal < pattern.size()) {
        Put(pattern.substr(literal));
    }
}

bool TextSink::Flush() {
    Drain(0);
    if (file_ != nullptr && !failed_ && std::fflush(file_) != 0) {
        failed_ = true;
        error_ = errno;
    }
    if (failed_) {
        errno = error_;  // the first failed write's reason, for the message
    }
    return !failed_;
}

}  // namespace pelmora
