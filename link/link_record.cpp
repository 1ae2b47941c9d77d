#include "link/link_record.h"

#include <algorithm>
#include <fstream>

#include "core/app_paths.h"
#include "core/atomic_file.h"

namespace pelmora {

namespace {

bool Writable(const std::string& value) {
    return std::none_of(value.begin(), value.end(),
                        [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
}

}  // namespace

void SaveReceiverSettings(const ReceiverSettings& settings, const std::string& configFolder) {
    if (configFolder.empty() || !EnsureFolder(configFolder)) {
        return;
    }
    std::string text = "[GPS]\n";
    if (Writable(settings.comport)) {
        text += "comport=" + settings.comport + "\n";
    }
    text += "baudrate=" + std::to_string(settings.baudrate) + "\n";
    if (!settings.firmware.empty() && settings.firmware.size() < 255 &&
        Writable(settings.firmware)) {
        text += "firmware=" + settings.firmware + "\n";
    }
    AtomicFile file;
    if (file.Open(JoinPath(configFolder, kLinkRecordName)) &&
        file.Write(text.data(), text.size())) {
        file.Commit();
    }
}

std::string LastReceiverPort(const std::string& configFolder) {
    std::ifstream in(JoinPath(configFolder, kLinkRecordName));
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("comport=", 0) == 0) {
            return line.substr(8);
        }
    }
    return {};
}

}  // namespace pelmora
