#pragma once
// What every command of pelmora-cli shares: exit statuses, the data folder, the profile, the
// device choice, confirmations and progress on a terminal.
#include <memory>
#include <stdexcept>
#include <string>

#include "cli/cli_options.h"
#include "core/conversion_settings.h"
#include "core/profile_store.h"
#include "core/progress_sink.h"

namespace pelmora::cli {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;  // the system's message is on standard error
inline constexpr int kExitUsage = 2;

// Ends a command with status 1; pelmora-cli prints "pelmora-cli: <message>" on standard error.
class CommandFailure : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Prints "pelmora-cli: <message>" on standard error and returns kExitFailure.
int Fail(const std::string& message);
// Prints "pelmora-cli: <message>" on standard error (a warning; the command goes on).
void Warn(const std::string& message);

// --data-dir DIR; default DefaultDataFolder(). DataDir creates the folder when missing and
// throws CommandFailure when it cannot.
void AddDataDirOption(ArgParser& parser);
std::string DataDir(const ArgParser& parser);

// The user's profile, shared with the window. Options override it for one run and are never
// written back.
ProfileStore& Profile();
// The conversion settings as the window would load them (computer zone for an empty profile).
ConversionSettings LoadProfileSettings();

// --port DEV, --baud N, --simulate, --set-rate. --port defaults to the last connection's port
// (receiver.ini) and excludes --simulate; the rate defaults to the profile's "Serial" "BaudRate"
// (4800) and must be one of the logger's.
void AddDeviceOptions(ArgParser& parser);
struct DeviceChoice {
    bool simulate = false;
    std::string port;  // device path when not simulated
    int baud = 4800;
    bool setRate = false;  // --set-rate: a logger found at another rate is set to baud
};
DeviceChoice GetDeviceChoice(const ArgParser& parser);
// --baud N, else the profile's rate.
int BaudChoice(const ArgParser& parser);
bool IsSupportedBaudRate(long long baud);

// --yes answers every question with yes. Without it a question is asked on the terminal; with
// no terminal on standard input the answer is no.
void AddYesOption(ArgParser& parser);
bool Confirm(const ArgParser& parser, const std::string& question);

// Progress on standard error, only when it is a terminal: "\r<label> 42%".
class TerminalProgress : public ProgressSink {
  public:
    explicit TerminalProgress(std::string label);
    ~TerminalProgress() override;
    void OnProgress(int percent) override;
    // "\r<label> <text>", the rest of the old line erased.
    void OnText(const std::string& text);
    // Ends the progress line (also done by the destructor).
    void Finish();

  private:
    std::string label_;
    bool enabled_;
    bool shown_ = false;
    int last_ = -1;
};

}  // namespace pelmora::cli
