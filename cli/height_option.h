#pragma once
// --heights sea|ellipsoid: what the heights of convert, summary and preview are measured from,
// for one run, overriding the profile's "HeightReference".
#include "cli/cli_options.h"
#include "core/conversion_settings.h"

namespace pelmora::cli {

inline constexpr const char* kHeightsUsage = "[--heights sea|ellipsoid]";

void AddHeightsOption(ArgParser& parser);
// Throws UsageError for any other word.
void ApplyHeightsOption(const ArgParser& parser, ConversionSettings& settings);

}  // namespace pelmora::cli
