#include "link/port_list.h"

#include <algorithm>
#include <cctype>

namespace pelmora {

bool EqualsIgnoreCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::vector<PortInfo> PortEnumerator::EnumeratePorts() const {
    std::vector<PortInfo> ports;
    for (std::string& path : EnumerateComPorts()) {
        ports.push_back({std::move(path), {}});
    }
    return ports;
}

std::string DescriptionOf(const std::vector<PortInfo>& ports, const std::string& path) {
    for (const PortInfo& p : ports) {
        if (p.path == path) {
            return p.description;
        }
    }
    return {};
}

std::vector<std::string> SortPortNames(std::vector<std::string> found) {
    found.erase(std::remove(found.begin(), found.end(), std::string()), found.end());
    if (found.size() > kMaxPortNames) {
        found.resize(kMaxPortNames);
    }
    std::sort(found.begin(), found.end(), [](const std::string& a, const std::string& b) {
        if (a.size() != b.size()) {
            return a.size() < b.size();
        }
        return a < b;
    });
    found.erase(std::unique(found.begin(), found.end()), found.end());
    return found;
}

PortChoices BuildPortChoices(const std::vector<std::string>& sortedPorts,
                             const std::string& storedPort) {
    PortChoices choices;
    choices.entries.reserve(sortedPorts.size() + 2);
    choices.entries.emplace_back(kPortNone);
    choices.entries.insert(choices.entries.end(), sortedPorts.begin(), sortedPorts.end());

    // An exact match wins over one that differs only in case: device paths are case-sensitive.
    for (std::size_t i = 0; i < choices.entries.size(); ++i) {
        if (choices.entries[i] == storedPort) {
            choices.selected = static_cast<int>(i);
            return choices;
        }
    }
    for (std::size_t i = 0; i < choices.entries.size(); ++i) {
        if (EqualsIgnoreCase(choices.entries[i], storedPort)) {
            choices.selected = static_cast<int>(i);
            return choices;
        }
    }
    // Pseudo-terminals and Bluetooth serial links are not found by the scan but open fine.
    if (!storedPort.empty() && storedPort.front() == '/') {
        choices.entries.push_back(storedPort);
        choices.selected = static_cast<int>(choices.entries.size() - 1);
    }
    return choices;
}

const std::vector<std::string>& BaudRateTexts() {
    static const std::vector<std::string> rates = {"2400",  "4800",  "9600",  "19200",
                                                   "38400", "57600", "115200"};
    return rates;
}

int BaudRateIndex(const std::string& storedRate) {
    const auto& rates = BaudRateTexts();
    for (std::size_t i = 0; i < rates.size(); ++i) {
        if (EqualsIgnoreCase(rates[i], storedRate)) {
            return static_cast<int>(i);
        }
    }
    return 1;
}

}  // namespace pelmora
