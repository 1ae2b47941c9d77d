#pragma once
// Shared by the fuzz targets: a property that must hold aborts (libFuzzer saves the input), and
// inputs that need a file get a private scratch folder for the process.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#define FUZZ_CHECK(cond)                                                                  \
    do {                                                                                  \
        if (!(cond)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
            std::abort();                                                                 \
        }                                                                                 \
    } while (0)

namespace pelmora::fuzz {

// A folder of its own for this process, made once and removed at exit.
inline const std::string& ScratchFolder() {
    // Never destroyed, so the exit handler still has it.
    static const std::string& folder = *new std::string([] {
        // Memory-backed when there is one: a file per input on a disk costs milliseconds.
        std::string name = access("/dev/shm", W_OK) == 0 ? "/dev/shm/pelmora-fuzz-XXXXXX"
                                                         : "/tmp/pelmora-fuzz-XXXXXX";
        if (mkdtemp(name.data()) == nullptr) {
            std::abort();
        }
        std::atexit([] { std::filesystem::remove_all(ScratchFolder()); });
        return name;
    }());
    return folder;
}

inline void WriteWholeFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
    FILE* f = std::fopen(path.c_str(), "wb");
    FUZZ_CHECK(f != nullptr);
    FUZZ_CHECK(size == 0 || std::fwrite(data, 1, size, f) == size);
    std::fclose(f);
}

inline std::vector<std::uint8_t> ReadWholeFile(const std::string& path) {
    std::vector<std::uint8_t> bytes;
    FILE* f = std::fopen(path.c_str(), "rb");
    FUZZ_CHECK(f != nullptr);
    std::uint8_t buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) {
        bytes.insert(bytes.end(), buffer, buffer + n);
    }
    std::fclose(f);
    return bytes;
}

// A small deterministic generator for chunk sizes drawn from the input.
class ChunkSizes {
  public:
    ChunkSizes(std::uint8_t seed, std::size_t maxChunk)
        : state_(seed * 2654435761u + 1), max_(maxChunk == 0 ? 1 : maxChunk) {}
    std::size_t Next() {
        state_ = state_ * 1103515245u + 12345u;
        return 1 + (state_ >> 8) % max_;
    }

  private:
    std::uint32_t state_;
    std::size_t max_;
};

}  // namespace pelmora::fuzz
