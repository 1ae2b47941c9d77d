// pelmora-make-sample-log [--before-2019] OUTPUT: writes the built-in drive as a raw log.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/atomic_file.h"
#include "sim/track/builtin_track.h"

int main(int argc, char** argv) {
    pelmora::BuiltinTrackOptions options;
    std::string output;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--before-2019") {
            options = pelmora::BuiltinTrackOptions::Before2019();
        } else if (output.empty() && !arg.empty() && arg[0] != '-') {
            output = arg;
        } else {
            output.clear();
            break;
        }
    }
    if (output.empty()) {
        std::fprintf(stderr, "usage: pelmora-make-sample-log [--before-2019] OUTPUT\n");
        return 2;
    }
    const std::vector<std::uint8_t> log = pelmora::BuiltinTrackLog(options);
    pelmora::AtomicFile file;
    if (!file.Open(output) || !file.Write(log.data(), log.size()) || !file.Commit()) {
        std::fprintf(stderr, "pelmora-make-sample-log: %s: %s\n", output.c_str(),
                     std::strerror(errno));
        return 1;
    }
    std::printf("%zu bytes\n", log.size());
    return 0;
}
