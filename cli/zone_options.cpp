#include "cli/zone_options.h"

#include <string>

#include "core/zone_bias.h"

namespace pelmora::cli {

void AddZoneOptions(ArgParser& parser) {
    parser.Value("--tz-bias").Value("--time-zone");
}

void ApplyZoneOptions(const ArgParser& parser, ConversionSettings& settings) {
    if (parser.Has("--tz-bias") && parser.Has("--time-zone")) {
        throw UsageError("give either --tz-bias or --time-zone");
    }
    if (parser.Has("--tz-bias")) {
        const auto bias = static_cast<int>(
            *parser.GetInt("--tz-bias", kTimeZoneBiasRange.min, kTimeZoneBiasRange.max));
        SetFixedZone(settings, bias, BiasDisplay(bias));
    }
    if (parser.Has("--time-zone")) {
        const std::string name = *parser.Get("--time-zone");
        if (!SetNamedZone(settings, name)) {
            throw UsageError("unknown time zone '" + name +
                             "' (an IANA name such as Europe/Berlin, or local)");
        }
    }
}

}  // namespace pelmora::cli
