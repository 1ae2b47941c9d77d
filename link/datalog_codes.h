#pragma once
// Result codes of the datalog commands and the download. A command passes on the code of its
// acknowledged send (0 not connected, 1 ACK, 2 NACK, 9 time-out) unless it has one of its own.
#include "link/serial_port.h"

namespace pelmora {

inline constexpr int kDatalogNotConnected = kSendNotConnected;
inline constexpr int kDatalogAck = kSendAck;
inline constexpr int kDatalogNack = kSendNack;
inline constexpr int kDatalogTimeout = kSendTimeout;
inline constexpr int kDatalogConfigured = 24;
inline constexpr int kDatalogCleared = 25;
inline constexpr int kDatalogIdSet = 117;

inline constexpr int kRangeDone = 0;           // ReadRange / ReadRangeStep / ReceiveMarkedData
inline constexpr int kRangeAttemptFailed = 8;  // one range attempt: NACK, silence, bad trailer
inline constexpr int kRangeGaveUp = 9;
inline constexpr int kRangeStopped = 99;
inline constexpr int kRangeLineDead = 98;  // no byte at all for the dead-line limit

}  // namespace pelmora
