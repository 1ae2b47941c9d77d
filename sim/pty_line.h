#pragma once
// The master side of a pseudo-terminal, opened raw and non-blocking. A second descriptor on the
// slave stays open for the sim's whole life: without it every client close would turn the master
// into a constant EIO/POLLHUP source, and it lets the sim see how much of its output the client
// has not read yet.

#include <cstddef>
#include <string>

namespace pelmora::sim {

// termios speed <-> bit/s for the usual rates; 0 for anything else.
int SpeedToRate(unsigned speed);
unsigned RateToSpeed(int rate);

class PtyLine {
  public:
    PtyLine() = default;
    ~PtyLine();
    PtyLine(const PtyLine&) = delete;
    PtyLine& operator=(const PtyLine&) = delete;

    // Opens master and slave, raw 8N1, the slave's speed set to rate. False with the reason.
    bool Open(int rate, std::string* error);
    // Hangs up: the client's side sees EIO / POLLHUP from now on.
    void Close();
    bool IsOpen() const { return master_ >= 0; }
    int Master() const { return master_; }
    const std::string& SlavePath() const { return slavePath_; }

    // The speed currently set on the line (the client's choice once it has set one).
    int LineRate() const;
    // Sets the client's speed from this side, as stty or a modem prober on the client's port does.
    bool SetLineRate(int rate);
    // Bytes written by the sim that the client has not read yet.
    std::size_t Unread() const;

  private:
    int master_ = -1;
    int hold_ = -1;
    std::string slavePath_;
};

}  // namespace pelmora::sim
