#pragma once
// The program's numbered texts, used verbatim (spelling included) by every window and writer.
#include <string_view>

namespace pelmora {

enum StringId : int {
    IDS_ABOUT_BOX = 101,
    IDS_CLEAR_CONFIRM = 106,
    IDS_OK = 119,
    IDS_LOGGER_FILES = 120,
    IDS_ALL_FILES = 121,
    IDS_METER = 146,
    IDS_KMH = 147,
    IDS_SPEED_UNIT_SETTING = 148,
    IDS_STOP_MIN_DISTANCE = 149,
    IDS_OVER_SPEED_SETTING = 150,
    IDS_FEET = 151,
    IDS_MPH = 152,
    IDS_MPS = 153,
    IDS_COMPUTER_TIME = 154,
    IDS_TIME_ZONE_SETTING = 155,
    IDS_CONVERSION_TYPE = 156,
    IDS_PATH = 157,
    IDS_POINT = 158,
    IDS_WITH_ID = 159,
    IDS_STOP_MIN_PERIOD = 160,
    IDS_MINUTE = 161,
    IDS_HOUR = 165,
    IDS_APPLICATION_SETTING = 181,
    IDS_SERIAL_PORT_SETTING = 184,
    IDS_COM_PORT = 185,
    IDS_BAUD_RATE = 186,
    IDS_BIAS = 189,
    IDS_COUNTRY_ZONE = 190,
    IDS_CONVERSION_OPTION = 191,
    IDS_CANCEL = 192,
    IDS_WRONG_CONVERT_TIME = 198,
    IDS_OPEN_OLD_LOG = 199,
    IDS_CONFIGURE_DONE = 201,
    IDS_SET_DONE = 203,
    IDS_INCORRECT_BAUDRATE = 204,
    IDS_INCORRECT_PORT = 206,
};

// The text of a numbered string; empty for an unknown number.
std::string_view LoadString(int id);

}  // namespace pelmora
