#pragma once
// Puts the fixes of an import in time order with bounded memory: runs of a fixed number of fixes
// are sorted in memory and spilled to a file beside the library, then merged. Fixes of one
// 2-second slot keep their order of arrival (it is the order the logger recorded them).
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "decode/trace_fix.h"

namespace pelmora {

class FixSorter {
  public:
    // spillPath: the file runs go to when there is more than one; removed by the destructor.
    explicit FixSorter(std::string spillPath, std::size_t runFixes = std::size_t{1} << 19);
    ~FixSorter();
    FixSorter(const FixSorter&) = delete;
    FixSorter& operator=(const FixSorter&) = delete;

    // False (errno kept) when a run cannot be spilled.
    [[nodiscard]] bool Add(const std::uint8_t* fix);
    // Ends the input; false (errno kept) when the last run cannot be spilled.
    [[nodiscard]] bool Finish();
    // The next fix in slot order, valid until the next call; nullptr at the end or after a read
    // error (then failed() is true).
    const std::uint8_t* Next();
    bool failed() const { return failed_; }
    std::uint64_t count() const { return count_; }

  private:
    struct Run {
        std::uint64_t begin = 0;  // fix offset of the run in the spill file
        std::uint64_t end = 0;
        std::uint64_t next = 0;
        std::vector<std::uint8_t> buffer;
        std::size_t pos = 0;
        std::size_t have = 0;
    };
    void SortBuffer();
    [[nodiscard]] bool Spill();
    const std::uint8_t* Peek(Run& run);

    std::string spillPath_;
    std::size_t runFixes_;
    std::vector<std::uint8_t> buffer_;
    std::vector<std::uint8_t> scratch_;
    std::FILE* spill_ = nullptr;
    std::vector<Run> runs_;
    std::size_t memoryPos_ = 0;  // one run only: read straight from buffer_
    std::uint64_t count_ = 0;
    std::uint64_t spilledFixes_ = 0;
    bool failed_ = false;
    TraceFixBytes current_{};
};

}  // namespace pelmora
