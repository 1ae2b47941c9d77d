#include "sim_fixture.h"

namespace pelmora {

namespace {

std::vector<std::uint8_t> Record(std::uint8_t first, std::size_t length, std::uint8_t tag) {
    std::vector<std::uint8_t> r(length, tag);
    r[0] = first;
    return r;
}

}  // namespace

sim::FlashImage FlashOfSectors(std::uint16_t sectors, std::uint16_t total) {
    sim::FlashImage flash(total);
    // Mixed full and compact records; one that does not fit starts the next sector, so the
    // erased tails vary. Some compact records hold the end marker's bytes, as real ones can.
    for (std::uint32_t tag = 1;; ++tag) {
        if (flash.SectorsInUse() == sectors && flash.WriteOffset() % sim::kSectorSize >= 1000) {
            break;
        }
        std::vector<std::uint8_t> record;
        if (tag % 37 == 0) {
            record = {0x80, 'E', 'N', 'D', 0, 'C', 'H', 'E'};
        } else if (tag % 5 == 0) {
            record = Record(0x40, 18, static_cast<std::uint8_t>(tag));
        } else {
            record = Record(0x80, 8, static_cast<std::uint8_t>(tag));
        }
        if (!flash.AppendRecord(record)) {
            break;
        }
    }
    return flash;
}

void SimLink::StartSim(sim::LoggerSimOptions options) {
    port_.Close();
    sim_ = std::make_unique<sim::LoggerSim>(std::move(options));
    std::string error;
    ASSERT_TRUE(sim_->Start(&error)) << error;
    ASSERT_TRUE(port_.Open(sim_->SlavePath(), sim_->Baud())) << port_.LastError();
    device_.SetPort(&port_);
}

void SimLink::SetUp() {
    device_.timings.dataWait = std::chrono::milliseconds(1000);
    sim::LoggerSimOptions options;
    options.baud = 57600;
    options.paced = false;
    options.flash = FlashOfSectors(20);
    StartSim(std::move(options));
}

void SimLink::TearDown() {
    port_.Close();
    if (sim_) {
        sim_->Stop();
    }
}

std::vector<std::vector<std::uint8_t>> SimLink::ReceivedPayloads() const {
    std::vector<std::vector<std::uint8_t>> out;
    for (const auto& frame : sim_->Frames()) {
        if (frame.bytes.size() >= 7) {
            out.emplace_back(frame.bytes.begin() + 4, frame.bytes.end() - 3);
        }
    }
    return out;
}

std::vector<std::vector<std::uint8_t>> SimLink::ReceivedPayloads(std::uint8_t id) const {
    std::vector<std::vector<std::uint8_t>> out;
    for (auto& p : ReceivedPayloads()) {
        if (!p.empty() && p[0] == id) {
            out.push_back(std::move(p));
        }
    }
    return out;
}

bool SimLink::WaitForId(std::uint8_t id) const {
    for (int i = 0; i < 40; ++i) {
        if (!ReceivedPayloads(id).empty()) {
            return true;
        }
        sim_->WaitForFrames(sim_->Frames().size() + 1, std::chrono::milliseconds(50));
    }
    return false;
}

}  // namespace pelmora
