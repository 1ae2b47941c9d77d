#include "core/string_table.h"

#include <array>
#include <utility>

namespace pelmora {
namespace {
constexpr std::array<std::pair<int, std::string_view>, 36> kStrings = {{
    {IDS_ABOUT_BOX, "About %s"},
    {IDS_CLEAR_CONFIRM, "All records in device will be cleared!\nWill you Continue?"},
    {IDS_OK, "OK"},
    {IDS_LOGGER_FILES, "Logger Files"},
    {IDS_ALL_FILES, "All Files (*.*)"},
    {IDS_METER, "Meter"},
    {IDS_KMH, "KM/h"},
    {IDS_SPEED_UNIT_SETTING, "Speed unit setting"},
    {IDS_STOP_MIN_DISTANCE, "Stop point minimum distance"},
    {IDS_OVER_SPEED_SETTING, "Over-speed setting"},
    {IDS_FEET, "Feet"},
    {IDS_MPH, "MPH"},
    {IDS_MPS, "m/s"},
    {IDS_COMPUTER_TIME, "Computer Time"},
    {IDS_TIME_ZONE_SETTING, "Time zone setting"},
    {IDS_CONVERSION_TYPE, "Conversion type"},
    {IDS_PATH, "Path"},
    {IDS_POINT, "Point"},
    {IDS_WITH_ID, "with ID"},
    {IDS_STOP_MIN_PERIOD, "Stop point minimum period"},
    {IDS_MINUTE, "Minute"},
    {IDS_HOUR, "Hour"},
    {IDS_APPLICATION_SETTING, "Application Setting"},
    {IDS_SERIAL_PORT_SETTING, "Serial Port Setting"},
    {IDS_COM_PORT, "Com Port:"},
    {IDS_BAUD_RATE, "Baud Rate:"},
    {IDS_BIAS, "Bias"},
    {IDS_COUNTRY_ZONE, "Country/Zone"},
    {IDS_CONVERSION_OPTION, "Conversion Option"},
    {IDS_CANCEL, "Cancel"},
    {IDS_WRONG_CONVERT_TIME, "Wrong Convert Time"},
    {IDS_OPEN_OLD_LOG, "Open old Log file"},
    {IDS_CONFIGURE_DONE, "Configure done."},
    {IDS_SET_DONE, "Set done."},
    {IDS_INCORRECT_BAUDRATE, "Incorrect baudrate !"},
    {IDS_INCORRECT_PORT, "Incorrect port !"},
}};
}  // namespace

std::string_view LoadString(int id) {
    for (const auto& [number, text] : kStrings) {
        if (number == id) {
            return text;
        }
    }
    return {};
}

}  // namespace pelmora
