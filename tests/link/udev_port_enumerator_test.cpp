#include "link/udev_port_enumerator.h"

#include <gtest/gtest.h>

namespace pelmora {
namespace {

// What the machine has is unknown; the scan must end and name device nodes only.
TEST(UdevPortEnumeratorTest, ListsDeviceNodes) {
    const UdevPortEnumerator ports;
    for (const std::string& path : ports.EnumerateComPorts()) {
        EXPECT_EQ(path.rfind("/dev/", 0), 0u) << path;
    }
}

}  // namespace
}  // namespace pelmora
