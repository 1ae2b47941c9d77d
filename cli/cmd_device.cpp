// pelmora-cli read | status | id | clear | configure | set-id: the logger's commands, on a serial
// device (--port DEV [--baud N]) or on the built-in simulated logger (--simulate).
#include <signal.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "cli/cli_common.h"
#include "cli/command_registry.h"
#include "cli/decode_run.h"
#include "cli/device_read.h"
#include "core/app_paths.h"
#include "core/clean_text.h"
#include "core/download_settings.h"
#include "core/string_table.h"
#include "link/command_result.h"
#include "link/datalog_device.h"
#include "link/device_texts.h"
#include "link/link_record.h"
#include "link/log_download.h"
#include "link/rate_search.h"
#include "link/serial_port.h"
#include "sim/logger_sim.h"

namespace pelmora::cli {
namespace {

// A refused or unanswered command, said as the window says it; a hang-up names the port.
int Refused(CommandResult result, const std::string& port) {
    if (result == CommandResult::Disconnected) {
        return Fail(DisconnectedText(port));
    }
    return Fail(std::string(ResultText(result)));
}

// The window's headline for a link that cannot be used, then its cause.
std::string FailureText(const LinkError& error) {
    const bool rate = error.fault == LinkFault::WrongRate || error.fault == LinkFault::NotSwitched;
    return std::string(LoadString(rate ? IDS_INCORRECT_BAUDRATE : IDS_INCORRECT_PORT)) + " (" +
           error.message + ")";
}

// The port, the device object on it and, for --simulate, the simulated logger behind it. The
// logger must answer (at the configured rate, or found at another and switched back).
class ConnectedLogger {
  public:
    explicit ConnectedLogger(const DeviceChoice& choice) {
        std::string path = choice.port;
        if (choice.simulate) {
            sim::LoggerSimOptions options;
            options.baud = choice.baud;
            sim_ = std::make_unique<sim::LoggerSim>(std::move(options));
            std::string error;
            if (!sim_->Start(&error)) {
                throw CommandFailure("the simulated logger did not start: " + error);
            }
            path = sim_->SlavePath();
        }
        if (!port_.Open(path, choice.baud)) {
            throw CommandFailure(FailureText(port_.LastLinkError()));
        }
        port_.FlushInput();
        device_.SetPort(&port_);
        const RateSearchResult found = FindLogger(device_, choice.baud, true);
        if (!found.error.ok()) {
            throw CommandFailure(FailureText(found.error));
        }
        // Something speaks NMEA here; a logger also answers the device-ID query at once. A GPS
        // receiver answers neither that nor a status query.
        idResult_ = device_.QueryDeviceId(id_, true);
        if (idResult_ == CommandResult::Disconnected) {
            throw CommandFailure(DisconnectedText(path));
        }
        if (idResult_ == CommandResult::NoAnswer && device_.Probe() == CommandResult::NoAnswer) {
            throw CommandFailure(NotALoggerError(path).message);
        }
        if (found.waitedOutRange) {
            Warn(kWaitedOutRangeText);
        }
        if (found.kept) {
            SetRateAsked(found.foundRate, choice);
        } else if (found.foundRate != 0) {
            Warn(SwitchedBackText(found.foundRate, choice.baud));
        }
        // A simulated logger's pseudo-terminal is gone after the run: not worth a record.
        if (!choice.simulate) {
            SaveReceiverSettings({path, port_.BaudRate(), ""}, ConfigFolder());
        }
    }
    ~ConnectedLogger() {
        device_.SetPort(nullptr);
        port_.Close();
        if (sim_) {
            sim_->Stop();
        }
    }
    ConnectedLogger(const ConnectedLogger&) = delete;
    ConnectedLogger& operator=(const ConnectedLogger&) = delete;

    DatalogDevice& device() { return device_; }
    SerialPort& port() { return port_; }
    const std::string& path() const { return port_.PortPath(); }
    // The device ID as asked at the connection, and how that went.
    CommandResult idResult() const { return idResult_; }
    const std::string& id() const { return id_; }

  private:
    // A logger found at a rate its owner chose is used there; only --set-rate changes it.
    void SetRateAsked(int found, const DeviceChoice& choice) {
        const std::string told = KeptRateText(found, choice.baud);
        if (!choice.setRate) {
            Warn(told + " (used at " + std::to_string(found) + " bit/s; --set-rate sets it to " +
                 std::to_string(choice.baud) + " bit/s)");
            return;
        }
        CommandResult ack = CommandResult::NoAnswer;
        const bool reopened = device_.SetBaudRate(choice.baud, kRateAttribute, &ack);
        if (reopened && ack == CommandResult::Done && device_.Probe() == CommandResult::Done) {
            Warn(told + "; set to " + std::to_string(choice.baud) + " bit/s as asked");
            return;
        }
        // Back where it answered, whatever it did with the request.
        if (reopened) {
            device_.SetPortRate(found);
        }
        if (!port_.IsConnected() || device_.Probe() != CommandResult::Done) {
            throw CommandFailure(told + "; it did not take " + std::to_string(choice.baud) +
                                 " bit/s and no longer answers at " + std::to_string(found) +
                                 " bit/s");
        }
        Warn(told + "; it did not take " + std::to_string(choice.baud) + " bit/s (" +
             std::string(ResultText(ack)) + "), so it is used at " + std::to_string(found) +
             " bit/s");
    }

    std::unique_ptr<sim::LoggerSim> sim_;
    SerialPort port_;
    DatalogDevice device_;
    CommandResult idResult_ = CommandResult::NoAnswer;
    std::string id_;
};

ArgParser DeviceParser(const std::vector<std::string>& args) {
    ArgParser parser(args);
    AddDeviceOptions(parser);
    return parser;
}

// ---- status, id ----

int RunStatus(const std::vector<std::string>& args) {
    ArgParser parser = DeviceParser(args);
    parser.Parse();
    ConnectedLogger session(GetDeviceChoice(parser));
    LogStatus status;
    if (const CommandResult result = session.device().QueryLogStatus(&status);
        result != CommandResult::Done) {
        return Refused(result, session.path());
    }
    for (const std::string& line : LogStatusLines(status)) {
        std::printf("%s\n", line.c_str());
    }
    std::printf("Used: %s %%\n", LogUsagePercentText(status).c_str());
    return kExitSuccess;
}

int RunId(const std::vector<std::string>& args) {
    ArgParser parser = DeviceParser(args);
    parser.Parse();
    ConnectedLogger session(GetDeviceChoice(parser));
    std::string id = session.id();
    if (session.idResult() != CommandResult::Done) {
        if (const CommandResult result = session.device().QueryDeviceId(id);
            result != CommandResult::Done) {
            return Refused(result, session.path());
        }
    }
    std::printf("%s\n", id.c_str());
    return kExitSuccess;
}

// ---- clear, configure, set-id ----

int RunClear(const std::vector<std::string>& args) {
    ArgParser parser = DeviceParser(args);
    AddYesOption(parser);
    AddDataDirOption(parser);
    parser.Parse();
    const DeviceChoice choice = GetDeviceChoice(parser);
    const std::string folder = DataDir(parser);
    ConnectedLogger session(choice);
    if (!parser.Has("--yes")) {
        // What a Read would compare, compared now: a log recorded anew since the last download
        // is not downloaded, whatever its size.
        const UndownloadedCheck check = CheckUndownloaded(session.device(), folder);
        if (!check.rateNote.empty()) {
            Warn(check.rateNote);
        }
        if (check.result != CommandResult::Done) {
            return Fail("not cleared: " + (check.result == CommandResult::Disconnected
                                               ? DisconnectedText(session.path())
                                               : std::string(ResultText(check.result))));
        }
        const std::string notDownloaded =
            "not cleared: the logger holds data that has not been downloaded (read it first, or "
            "--yes clears it anyway)";
        if (isatty(STDIN_FILENO) == 0) {
            return Fail(check.holds ? notDownloaded
                                    : "not cleared: no terminal to ask on; --yes clears without "
                                      "asking");
        }
        if (!Confirm(parser, std::string(LoadString(IDS_CLEAR_CONFIRM)))) {
            return Fail("not cleared");
        }
        if (check.holds && !Confirm(parser, kAskClearUndownloaded)) {
            return Fail(notDownloaded);
        }
    }
    if (const CommandResult result = session.device().ClearLog(); result != CommandResult::Done) {
        return Refused(result, session.path());
    }
    std::printf("%s\n", kLogClearSuccessful);
    return kExitSuccess;
}

int RunConfigure(const std::vector<std::string>& args) {
    ArgParser parser = DeviceParser(args);
    parser.Value("--time").Value("--distance").Value("--speed");
    parser.Parse();
    const auto time = parser.GetInt("--time", 0, 65535);
    const auto distance = parser.GetInt("--distance", 0, 20000);
    const auto speed = parser.GetInt("--speed", 0, 4000);
    if (!time || !distance || !speed) {
        throw UsageError("--time, --distance and --speed are all needed");
    }
    ConnectedLogger session(GetDeviceChoice(parser));
    const CommandResult result = session.device().ConfigureLog(
        static_cast<std::uint32_t>(*time), static_cast<std::uint32_t>(*distance),
        static_cast<std::uint32_t>(*speed));
    if (result != CommandResult::Done) {
        return Refused(result, session.path());
    }
    std::printf("%s\n", kLogConfigureSuccessful);
    return kExitSuccess;
}

int RunSetId(const std::vector<std::string>& args) {
    ArgParser parser = DeviceParser(args);
    parser.Positionals(1, 1);
    parser.Parse();
    const std::string text = parser.positionals()[0];
    if (const std::string problem = DeviceIdProblem(text); !problem.empty()) {
        throw UsageError(problem);
    }
    ConnectedLogger session(GetDeviceChoice(parser));
    if (const CommandResult result = session.device().SetDeviceId(text);
        result != CommandResult::Done) {
        return Refused(result, session.path());
    }
    std::printf("%s\n", std::string(LoadString(IDS_SET_DONE)).c_str());
    return kExitSuccess;
}

// ---- read ----

std::atomic<bool> gStop{false};
std::atomic<SerialPort*> gReadPort{nullptr};
std::atomic<bool> gProgressOnTerminal{false};  // a progress line there may need ending
static_assert(std::atomic<bool>::is_always_lock_free);
static_assert(std::atomic<SerialPort*>::is_always_lock_free);

constexpr char kStoppingSoon[] = "\nStopping after this range (Ctrl-C again to stop now)...\n";

extern "C" void OnInterrupt(int signal) {
    if (!gStop.exchange(true)) {
        // The first asks for the stop between ranges, as the window's Stop does. Only write(2)
        // is safe here: no stdio, no allocation.
        const int saved = errno;
        const std::size_t skip = gProgressOnTerminal.load() ? 0 : 1;  // the leading newline
        [[maybe_unused]] const ssize_t n =
            ::write(STDERR_FILENO, kStoppingSoon + skip, sizeof kStoppingSoon - 1 - skip);
        errno = saved;
        return;
    }
    // The second ends the range in flight: the port's reads give up, and the Read still puts
    // the logger back at its rate. A third ends the program at once.
    if (SerialPort* port = gReadPort.load()) {
        port->SetCancel(1);
    }
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
}

// Ctrl-C, SIGTERM and a closed terminal (SIGHUP) stop a Read the same way: never with the logger
// left at the download rate.
class InterruptAsStop {
  public:
    explicit InterruptAsStop(SerialPort& port) {
        gStop.store(false);
        gProgressOnTerminal.store(isatty(STDERR_FILENO) != 0);
        gReadPort.store(&port);
        struct sigaction action {};
        action.sa_handler = OnInterrupt;
        sigemptyset(&action.sa_mask);
        for (std::size_t i = 0; i < kSignals.size(); ++i) {
            installed_[i] = sigaction(kSignals[i], &action, &previous_[i]) == 0;
        }
    }
    ~InterruptAsStop() {
        for (std::size_t i = 0; i < kSignals.size(); ++i) {
            if (installed_[i]) {
                sigaction(kSignals[i], &previous_[i], nullptr);
            }
        }
        gReadPort.store(nullptr);
    }
    InterruptAsStop(const InterruptAsStop&) = delete;
    InterruptAsStop& operator=(const InterruptAsStop&) = delete;

  private:
    static constexpr std::array<int, 3> kSignals = {SIGINT, SIGTERM, SIGHUP};
    std::array<struct sigaction, 3> previous_{};
    std::array<bool, 3> installed_{};
};

class ReadObserver : public DownloadObserver {
  public:
    explicit ReadObserver(bool factoryReset) : factoryReset_(factoryReset), progress_("Reading") {}

    void ReadProgress(const DownloadProgress& progress) override {
        progress_.OnText(ProgressText(progress));
    }
    bool ConfirmFactoryReset() override {
        progress_.Finish();
        if (factoryReset_) {
            return true;
        }
        std::printf("%s\n", kAskFactoryReset);
        std::fflush(stdout);
        // Only a person at a terminal may say yes; a script passes --factory-reset.
        if (isatty(STDIN_FILENO) == 0) {
            return false;
        }
        std::fprintf(stderr, "[y/N] ");
        std::fflush(stderr);
        std::string answer;
        if (!std::getline(std::cin, answer)) {
            return false;
        }
        return answer == "y" || answer == "Y" || answer == "yes" || answer == "Yes";
    }
    void StatusLine(const std::string& line) override {
        progress_.Finish();
        std::printf("%s\n", line.c_str());
        std::fflush(stdout);
    }

  private:
    bool factoryReset_;
    TerminalProgress progress_;
};

int DownloadRateOption(const ArgParser& parser) {
    const auto text = parser.Get("--download-rate");
    if (!text) {
        return LoadDownloadRate(Profile());
    }
    if (*text == "auto") {
        return 0;
    }
    for (const int rate : kDownloadRates) {
        if (*text == std::to_string(rate)) {
            return rate;
        }
    }
    throw UsageError("--download-rate takes auto, 57600, 115200 or 230400");
}

}  // namespace

ReadRun ConnectAndRead(const DeviceChoice& choice, DownloadRequest request, bool factoryReset) {
    ReadRun run;
    std::unique_ptr<ConnectedLogger> opened;
    try {
        opened = std::make_unique<ConnectedLogger>(choice);
    } catch (const CommandFailure& e) {
        throw CommandFailure(std::string(e.what()) + "; the previous download was kept");
    }
    ConnectedLogger& session = *opened;
    run.port = session.path();
    // The rate this logger took last time is tried first; a logger without an ID (or that does
    // not say it) goes by the empty one.
    std::string id = session.id();
    const bool known = session.idResult() == CommandResult::Done ||
                       session.device().QueryDeviceId(id) == CommandResult::Done;
    run.deviceId = id;
    if (request.rate == 0 && known) {
        request.firstRate = LoadLoggerRate(Profile(), run.deviceId);
    }
    ReadObserver observer(factoryReset);
    {
        InterruptAsStop interrupt(session.port());
        run.result = DownloadLog(session.device(), request, observer, gStop);
    }
    if (known && request.rate == 0 &&
        (run.result.outcome == DownloadOutcome::Done ||
         run.result.outcome == DownloadOutcome::EmptyLog)) {
        SaveLoggerRate(Profile(), run.deviceId, run.result.rate);
    }
    return run;
}

bool InterruptedRead() {
    return gStop.load();
}

int ReadFailureStatus(const DownloadResult& result, const std::string& folder,
                      const std::string& port) {
    switch (result.outcome) {
        case DownloadOutcome::Done:
            return -1;
        case DownloadOutcome::EmptyLog:
            return kExitSuccess;  // said so; nothing was written, so nothing to decode
        case DownloadOutcome::Stopped:
            return Fail("stopped: the previous download was kept");
        case DownloadOutcome::LineDead:
            return Fail(
                "the logger stopped answering, or the line is garbled (nothing well-formed for "
                "15 s); the previous download was kept");
        case DownloadOutcome::StatusFailed:
            return Refused(result.status, port);
        case DownloadOutcome::DeviceError:
            if (!result.factoryResetSent) {
                return Fail("the device reports no sectors; not reset");
            }
            return result.factoryReset == CommandResult::Done
                       ? Fail("the device reported no sectors and was reset to factory default")
                       : Fail("factory reset: " + std::string(ResultText(result.factoryReset)));
        case DownloadOutcome::WriteFailed:
            return Fail(JoinPath(folder, kRawLogName) + ": " + std::strerror(result.error) +
                        "; the previous download was kept");
        case DownloadOutcome::Disconnected:
            return Fail(DisconnectedText(port) + "; the previous download was kept");
        case DownloadOutcome::GaveUp:
            return Fail(std::string(OutcomeText(result.outcome)) +
                        "; the previous download was kept");
    }
    return kExitFailure;
}

namespace {

int RunRead(const std::vector<std::string>& args) {
    ArgParser parser = DeviceParser(args);
    AddDataDirOption(parser);
    parser.Flag("--factory-reset").Flag("--full").Value("--download-rate");
    parser.Parse();
    const DeviceChoice choice = GetDeviceChoice(parser);
    const std::string folder = DataDir(parser);

    DownloadRequest request;
    request.dataFolder = folder;
    request.rate = DownloadRateOption(parser);
    request.full = parser.Has("--full") || LoadFullRead(Profile());
    const ReadRun run = ConnectAndRead(choice, request, parser.Has("--factory-reset"));
    if (const int status = ReadFailureStatus(run.result, folder, run.port); status >= 0) {
        return status;
    }
    return DecodeAndSummarize(JoinPath(folder, kRawLogName), folder, true);
}

const char* const kDeviceSynopsis = "(--port DEV | --simulate) [--baud N] [--set-rate]";

const CommandRegistrar kRead{
    "read",
    std::string("read ") + kDeviceSynopsis +
        " [--data-dir DIR] [--download-rate auto|57600|115200|230400] [--full] [--factory-reset]",
    "download what is new on the logger into DIR/data.log, archive it and decode it", RunRead};
const CommandRegistrar kStatus{"status", std::string("status ") + kDeviceSynopsis,
                               "print the log status lines", RunStatus};
const CommandRegistrar kId{"id", std::string("id ") + kDeviceSynopsis, "print the device ID",
                           RunId};
const CommandRegistrar kClear{"clear",
                              std::string("clear ") + kDeviceSynopsis + " [--data-dir DIR] [--yes]",
                              "clear every record in the logger", RunClear};
const CommandRegistrar kConfigure{
    "configure", std::string("configure --time S --distance M --speed V ") + kDeviceSynopsis,
    "set the minimum time, distance and speed between fixes", RunConfigure};
const CommandRegistrar kSetId{"set-id", std::string("set-id TEXT ") + kDeviceSynopsis,
                              "set the device ID", RunSetId};

}  // namespace
}  // namespace pelmora::cli
