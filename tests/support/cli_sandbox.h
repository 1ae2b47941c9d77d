#pragma once
// pelmora-cli run as the user runs it, in a throw-away home: its own profile folder, data folder
// and time zone, with standard output and standard error captured. Needs PELMORA_CLI defined as
// the program's path.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace pelmora::testing {

struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

inline std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class CliSandbox {
  public:
    CliSandbox() {
        char name[] = "/tmp/pelmora-cli-XXXXXX";
        const char* made = mkdtemp(name);
        home_ = made != nullptr ? made : "/tmp/pelmora-cli-unmade";
        std::filesystem::create_directories(home_ + "/config/Pelmora");
    }
    ~CliSandbox() {
        std::error_code ignored;
        std::filesystem::remove_all(home_, ignored);
    }
    CliSandbox(const CliSandbox&) = delete;
    CliSandbox& operator=(const CliSandbox&) = delete;

    const std::string& Home() const { return home_; }

    void WriteProfile(const std::string& text) const {
        std::ofstream(home_ + "/config/Pelmora/Pelmora.ini") << text;
    }

    // args is appended to the command line as it stands (quote paths with ').
    CliRun Run(const std::string& args) const {
        const std::string out = home_ + "/stdout", err = home_ + "/stderr";
        const std::string command = "env XDG_CONFIG_HOME='" + home_ + "/config' XDG_DATA_HOME='" +
                                    home_ + "/share' TZ=UTC " PELMORA_CLI " " + args + " >'" + out +
                                    "' 2>'" + err + "' </dev/null";
        CliRun r;
        const int raw = std::system(command.c_str());
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        r.out = Slurp(out);
        r.err = Slurp(err);
        return r;
    }

  private:
    std::string home_;
};

}  // namespace pelmora::testing
