#include "convert/convert_paths.h"

namespace pelmora {
namespace {

// Position of the extension's dot, or npos; a dot in a folder name is not an extension.
std::size_t ExtensionDot(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return std::string::npos;
    }
    return dot;
}

}  // namespace

std::string OutputPathFor(const std::string& chosen, ConvertOutput output) {
    const std::size_t dot = ExtensionDot(chosen);
    const std::string base = dot == std::string::npos ? chosen : chosen.substr(0, dot);
    switch (output) {
        case ConvertOutput::KmlPath:
            return base + ".kml";
        case ConvertOutput::KmlPoint:
            return base + "_point.kml";
        case ConvertOutput::Nmea:
            return base + ".txt";
        case ConvertOutput::NmeaWithId:
            return base + "_id.txt";
        case ConvertOutput::Csv:
            return base + ".csv";
        case ConvertOutput::Gpx:
            return base + ".gpx";
    }
    return base;
}

std::string OutputStem(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    const std::size_t dot = ExtensionDot(path);
    const std::size_t from = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t to = dot == std::string::npos ? path.size() : dot;
    return path.substr(from, to - from);
}

}  // namespace pelmora
