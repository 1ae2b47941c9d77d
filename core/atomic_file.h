#pragma once
// A file that appears under its name only when complete: written to a temporary file in the same
// folder, then renamed into place, so a crash or a failure never leaves a truncated file.
//
// The temporary is "<name>.tmp-<pid>-XXXXXX". It gets the mode the finished file will have: the
// mode of the file it replaces, or 0666 less the umask for a new one, as a plain open would give.
// Temporaries of processes that are gone (killed, crashed) are removed when the same name is
// written again; InstallTemporaryCleanup removes the live ones on SIGINT, SIGTERM and SIGHUP.
//
// Only a regular file is replaced: a FIFO, a device, a directory or a socket under the name is
// refused (EISDIR for a directory, EEXIST for the rest), never swapped for a file.
#include <cstdio>
#include <string>

namespace pelmora {

class AtomicFile {
  public:
    AtomicFile() = default;
    ~AtomicFile();  // discards the temporary file unless Commit succeeded
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Creates the temporary file next to path; false (errno kept) when that fails or when path
    // names something other than a regular file.
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
    int slot_ = -1;  // in the table of live temporaries that a signal removes
};

// SIGINT, SIGTERM and SIGHUP (a closed terminal) remove the live temporaries of this process,
// then end it as the signal would have. Signals that already have a handler keep it. Call once,
// early in main.
void InstallTemporaryCleanup();

// Removes the temporaries of path left by processes that no longer run.
void RemoveStaleTemporaries(const std::string& path);

}  // namespace pelmora
