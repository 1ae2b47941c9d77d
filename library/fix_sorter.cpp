#include "library/fix_sorter.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

#include "library/fix_record.h"

namespace pelmora {
namespace {
constexpr std::size_t kReadFixes = 4096;
}

FixSorter::FixSorter(std::string spillPath, std::size_t runFixes)
    : spillPath_(std::move(spillPath)), runFixes_(std::max<std::size_t>(runFixes, 1)) {}

FixSorter::~FixSorter() {
    if (spill_ != nullptr) {
        std::fclose(spill_);
        ::unlink(spillPath_.c_str());
    }
}

bool FixSorter::Add(const std::uint8_t* fix) {
    buffer_.insert(buffer_.end(), fix, fix + kTraceFixSize);
    ++count_;
    if (buffer_.size() / kTraceFixSize >= runFixes_) {
        return Spill();
    }
    return true;
}

void FixSorter::SortBuffer() {
    const std::size_t n = buffer_.size() / kTraceFixSize;
    bool sorted = true;
    for (std::size_t i = 1; i < n && sorted; ++i) {
        sorted = FixSlot(&buffer_[(i - 1) * kTraceFixSize]) <= FixSlot(&buffer_[i * kTraceFixSize]);
    }
    if (sorted) {
        return;  // a logger records in time order: the usual case costs one pass
    }
    // Slot above arrival index: unique keys, so a plain sort keeps a slot's order.
    std::vector<std::uint64_t> keys(n);
    for (std::size_t i = 0; i < n; ++i) {
        keys[i] = (static_cast<std::uint64_t>(FixSlot(&buffer_[i * kTraceFixSize])) << 32) | i;
    }
    std::sort(keys.begin(), keys.end());
    scratch_.resize(buffer_.size());
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t from = static_cast<std::size_t>(keys[i] & 0xFFFFFFFFu);
        std::memcpy(&scratch_[i * kTraceFixSize], &buffer_[from * kTraceFixSize], kTraceFixSize);
    }
    buffer_.swap(scratch_);
    scratch_.clear();
    scratch_.shrink_to_fit();
}

bool FixSorter::Spill() {
    SortBuffer();
    if (spill_ == nullptr) {
        spill_ = std::fopen(spillPath_.c_str(), "w+b");
        if (spill_ == nullptr) {
            return false;
        }
    }
    if (std::fwrite(buffer_.data(), 1, buffer_.size(), spill_) != buffer_.size()) {
        return false;
    }
    Run run;
    run.begin = spilledFixes_;
    spilledFixes_ += buffer_.size() / kTraceFixSize;
    run.end = spilledFixes_;
    run.next = run.begin;
    runs_.push_back(std::move(run));
    buffer_.clear();
    return true;
}

bool FixSorter::Finish() {
    if (spill_ == nullptr) {
        SortBuffer();
        return true;
    }
    if (!buffer_.empty() && !Spill()) {
        return false;
    }
    buffer_.clear();
    buffer_.shrink_to_fit();
    return std::fflush(spill_) == 0;
}

const std::uint8_t* FixSorter::Peek(Run& run) {
    if (run.pos < run.have) {
        return &run.buffer[run.pos];
    }
    if (run.next >= run.end) {
        return nullptr;
    }
    const std::uint64_t fixes = std::min<std::uint64_t>(kReadFixes, run.end - run.next);
    run.buffer.resize(static_cast<std::size_t>(fixes) * kTraceFixSize);
    const auto offset = static_cast<off_t>(run.next * kTraceFixSize);
    const ssize_t got = ::pread(fileno(spill_), run.buffer.data(), run.buffer.size(), offset);
    if (got != static_cast<ssize_t>(run.buffer.size())) {
        failed_ = true;
        return nullptr;
    }
    run.next += fixes;
    run.pos = 0;
    run.have = run.buffer.size();
    return run.buffer.data();
}

const std::uint8_t* FixSorter::Next() {
    if (failed_) {
        return nullptr;
    }
    if (spill_ == nullptr) {
        if (memoryPos_ >= buffer_.size()) {
            return nullptr;
        }
        const std::uint8_t* fix = &buffer_[memoryPos_];
        memoryPos_ += kTraceFixSize;
        return fix;
    }
    // Few runs (one per half million fixes): a linear pick beats a heap's upkeep. The lowest
    // run wins a tie, so a slot keeps its order of arrival.
    Run* best = nullptr;
    std::uint32_t bestSlot = std::numeric_limits<std::uint32_t>::max();
    for (Run& run : runs_) {
        const std::uint8_t* fix = Peek(run);
        if (failed_) {
            return nullptr;
        }
        if (fix != nullptr && (best == nullptr || FixSlot(fix) < bestSlot)) {
            best = &run;
            bestSlot = FixSlot(fix);
        }
    }
    if (best == nullptr) {
        return nullptr;
    }
    std::memcpy(current_.data(), &best->buffer[best->pos], kTraceFixSize);
    best->pos += kTraceFixSize;
    return current_.data();
}

}  // namespace pelmora
