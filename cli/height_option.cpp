#include "cli/height_option.h"

#include <string>

namespace pelmora::cli {

void AddHeightsOption(ArgParser& parser) {
    parser.Value("--heights");
}

void ApplyHeightsOption(const ArgParser& parser, ConversionSettings& settings) {
    if (const auto word = parser.Get("--heights");
        word && !ParseHeightReference(*word, settings.Heights)) {
        throw UsageError("--heights takes sea or ellipsoid, not '" + *word + "'");
    }
}

}  // namespace pelmora::cli
