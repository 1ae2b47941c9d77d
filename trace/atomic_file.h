#pragma once
// A file that appears under its name only when complete: written to a temporary file in the same
// folder, then renamed into place, so a crash or a failure never leaves a truncated file.
#include <cstdio>
#include <string>

namespace pelmora {

class AtomicFile {
public:
    AtomicFile() = default;
    ~AtomicFile();  // discards the temporary file unless Commit succeeded
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Creates the temporary file next to path; false (errno kept) when that fails.
    bool Open(const std::string& path);
    std::FILE* file() const { return file_; }
    bool Write(const void* data, std::size_t size);
    // Flushes, syncs and renames into place; false (errno kept) when any step fails.
    bool Commit();
    void Discard();

private:
    std::FILE* file_ = nullptr;
    std::string path_;
    std::string tempPath_;
};

}  // namespace pelmora
