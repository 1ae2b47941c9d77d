#pragma once
// Result codes of the datalog commands and the download, beside the generic ones of the
// acknowledged send (0 not connected, 1 ACK, 2 NACK, 9 time-out).
namespace pelmora {

inline constexpr int kDatalogNotConnected = 0;
inline constexpr int kDatalogAck = 1;
inline constexpr int kDatalogNack = 2;
inline constexpr int kDatalogTimeout = 9;
inline constexpr int kDatalogConfigured = 24;
inline constexpr int kDatalogCleared = 25;
inline constexpr int kDatalogIdSet = 117;

inline constexpr int kRangeDone = 0;           // ReadRange / ReadRangeStep / ReceiveMarkedData
inline constexpr int kRangeAttemptFailed = 8;  // one range attempt: NACK, silence, bad trailer
inline constexpr int kRangeGaveUp = 9;
inline constexpr int kRangeStopped = 99;

}  // namespace pelmora
