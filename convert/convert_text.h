#pragma once
// The buffered text output of the writers. Numbers are formatted with std::to_chars, so no
// output ever depends on the process locale (a window that set LC_NUMERIC to a comma locale
// would otherwise write "12,5" into KML and CSV), and no per-line allocation or stream is used.
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "core/time_value.h"

namespace pelmora {

class TextSink {
  public:
    // Collects the text in memory (tests, small documents).
    TextSink() : TextSink(nullptr, false) {}
    // Writes through to file in large blocks. With crlf every "\n" of Put reaches the file as
    // CR LF, as the reference platform's text-mode files do.
    TextSink(std::FILE* file, bool crlf);
    TextSink(const TextSink&) = delete;
    TextSink& operator=(const TextSink&) = delete;

    void SetCrlf(bool crlf) { crlf_ = crlf; }
    void Put(std::string_view text);
    void Put(char c) {
        if (crlf_ && c == '\n') {
            Put(std::string_view("\n", 1));
            return;
        }
        *Reserve(1) = c;
        ++used_;
    }
    // Bytes as they are, never translated.
    void PutRaw(std::string_view bytes);
    // "%.<precision>f" in the C locale.
    void PutFixed(double value, int precision);
    void PutInt(std::int64_t value);
    // Calendar fields of t with a strftime-style pattern: %Y %m %d %H %M %S %y here, any other
    // conversion through FormatTime.
    void PutTime(TimeValue t, std::string_view pattern);

    // Writes what is buffered; false when any write to the file failed.
    bool Flush();
    bool failed() const { return failed_; }
    // The text of a memory sink.
    const std::string& text() const { return memory_; }
    // Bytes handed to the file or the memory so far plus the buffered ones.
    std::uint64_t size() const { return written_ + used_; }

  private:
    char* Reserve(std::size_t n) {
        if (buffer_.size() - used_ < n) {
            Drain(n);
        }
        return buffer_.data() + used_;
    }
    void Drain(std::size_t need);
    // Calendar date of a day number, remembered: consecutive fixes mostly share their day.
    void DateOf(std::int64_t day, int& year, int& month, int& dayOfMonth);

    std::FILE* file_;
    bool crlf_;
    bool failed_ = false;
    int error_ = 0;
    std::vector<char> buffer_;
    std::size_t used_ = 0;
    std::uint64_t written_ = 0;
    std::string memory_;
    std::int64_t cachedDay_ = INT64_MIN;
    int cachedYear_ = 0, cachedMonth_ = 0, cachedDayOfMonth_ = 0;
};

// "%.<precision>f" of value in the C locale into out; returns the length.
std::size_t FormatFixed(char* out, std::size_t capacity, double value, int precision);

}  // namespace pelmora
