#include "cli/cli_common.h"

#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "core/app_paths.h"
#include "link/link_record.h"
#include "ui/qt_profile_store.h"

namespace pelmora::cli {

int Fail(const std::string& message) {
    std::fprintf(stderr, "pelmora-cli: %s\n", message.c_str());
    return kExitFailure;
}

void Warn(const std::string& message) {
    std::fprintf(stderr, "pelmora-cli: %s\n", message.c_str());
}

void AddDataDirOption(ArgParser& parser) {
    parser.Value("--data-dir");
}

std::string DataDir(const ArgParser& parser) {
    const std::optional<std::string> given = parser.Get("--data-dir");
    if (given && given->empty()) {
        throw UsageError("--data-dir needs a folder");
    }
    const std::string folder = given ? *given : DefaultDataFolder();
    if (!EnsureFolder(folder)) {
        throw CommandFailure(folder + ": " + std::strerror(errno));
    }
    return folder;
}

ProfileStore& Profile() {
    static QtProfileStore store;
    return store;
}

ConversionSettings LoadProfileSettings() {
    ConversionSettings settings;
    LoadConversionSettings(Profile(), ComputerStandardOffsetMinutes(), settings);
    return settings;
}

void AddDeviceOptions(ArgParser& parser) {
    parser.Value("--port").Value("--baud").Flag("--simulate").Flag("--set-rate");
}

bool IsSupportedBaudRate(long long baud) {
    constexpr std::array<long long, 7> kRates = {2400, 4800, 9600, 19200, 38400, 57600, 115200};
    for (const long long r : kRates) {
        if (r == baud) {
            return true;
        }
    }
    return false;
}

DeviceChoice GetDeviceChoice(const ArgParser& parser) {
    DeviceChoice choice;
    choice.simulate = parser.Has("--simulate");
    choice.setRate = parser.Has("--set-rate");
    const std::optional<std::string> port = parser.Get("--port");
    if (choice.simulate && port) {
        throw UsageError("--port and --simulate exclude each other");
    }
    choice.port = port.value_or("");
    if (!choice.simulate && !port) {
        // The port of the last connection, as the window would open it.
        choice.port = LastReceiverPort(ConfigFolder());
    }
    if (!choice.simulate && choice.port.empty()) {
        throw UsageError("--port DEV or --simulate is needed (no earlier connection to reuse)");
    }
    choice.baud = BaudChoice(parser);
    return choice;
}

int BaudChoice(const ArgParser& parser) {
    long long baud = 0;
    if (const std::optional<std::string> text = parser.Get("--baud")) {
        if (!ParseInteger(*text, 1, 10000000, baud) || !IsSupportedBaudRate(baud)) {
            throw UsageError("--baud needs one of 2400 4800 9600 19200 38400 57600 115200, not '" +
                             *text + "'");
        }
    } else if (!ParseInteger(Profile().ProfileReadText(kSectionSerial, "BaudRate", "4800"), 1,
                             10000000, baud) ||
               !IsSupportedBaudRate(baud)) {
        baud = 4800;
    }
    return static_cast<int>(baud);
}

void AddYesOption(ArgParser& parser) {
    parser.Flag("--yes");
}

bool Confirm(const ArgParser& parser, const std::string& question) {
    if (parser.Has("--yes")) {
        return true;
    }
    if (isatty(STDIN_FILENO) == 0) {
        return false;
    }
    std::fprintf(stderr, "%s [y/N] ", question.c_str());
    std::fflush(stderr);
    std::string answer;
    if (!std::getline(std::cin, answer)) {
        return false;
    }
    return answer == "y" || answer == "Y" || answer == "yes" || answer == "Yes";
}

TerminalProgress::TerminalProgress(std::string label)
    : label_(std::move(label)), enabled_(isatty(STDERR_FILENO) != 0) {}

TerminalProgress::~TerminalProgress() {
    Finish();
}

void TerminalProgress::OnProgress(int percent) {
    if (!enabled_ || percent == last_) {
        return;
    }
    last_ = percent;
    shown_ = true;
    std::fprintf(stderr, "\r%s %3d%%", label_.c_str(), percent);
    std::fflush(stderr);
}

void TerminalProgress::OnText(const std::string& text) {
    if (!enabled_) {
        return;
    }
    shown_ = true;
    std::fprintf(stderr, "\r%s %s\033[K", label_.c_str(), text.c_str());
    std::fflush(stderr);
}

void TerminalProgress::Finish() {
    if (shown_) {
        std::fputc('\n', stderr);
        shown_ = false;
    }
}

}  // namespace pelmora::cli
