#pragma once
// Files the program reads are regular files: a FIFO without a writer, a terminal or a directory
// under a data file's name must neither block an open nor be read as data.
#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pelmora {

// "a directory", "a FIFO", "a character device", "a block device", "a socket".
std::string FileKindText(mode_t mode);

// Opens path read-only without blocking (O_NONBLOCK) and keeps it only when fstat finds a regular
// file. The descriptor, or -1 with errno; for anything else errno is EINVAL and kind (when given)
// names what it is.
int OpenRegularFile(const std::string& path, std::string* kind = nullptr);

// "<path>: a FIFO, not a regular file" when path exists and is something else; empty otherwise.
std::string NotRegularProblem(const std::string& path);

// The whole content of a regular file; nullopt (errno kept) when it cannot be read or is none.
std::optional<std::vector<std::uint8_t>> ReadRegularFile(const std::string& path);

}  // namespace pelmora
