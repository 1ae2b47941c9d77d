#pragma once
// A simulated logger on a pseudo-terminal with the device object connected to it.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "link/datalog_device.h"
#include "link/serial_port.h"
#include "sim/logger_sim.h"
#include "tests/link/print_results.h"

namespace pelmora {

// A flash whose log ends in sector `sectors - 1`, with records cut at odd places.
sim::FlashImage FlashOfSectors(std::uint16_t sectors, std::uint16_t total = 512);

class SimLink : public ::testing::Test {
  protected:
    void StartSim(sim::LoggerSimOptions options);
    void SetUp() override;
    void TearDown() override;

    // The payloads of the frames the logger received, in order.
    std::vector<std::vector<std::uint8_t>> ReceivedPayloads() const;
    std::vector<std::vector<std::uint8_t>> ReceivedPayloads(std::uint8_t id) const;
    // Waits (bounded) until a frame with this id has arrived: for commands sent without a wait.
    bool WaitForId(std::uint8_t id) const;

    std::unique_ptr<sim::LoggerSim> sim_;
    SerialPort port_;
    DatalogDevice device_;
};

}  // namespace pelmora
