#pragma once
// The zone options every command that shows local times takes: --tz-bias MINUTES (a fixed
// offset) or --time-zone NAME|local (a zone with its daylight-saving rules). Either overrides the
// profile's zone for one run, as the Application Setting dialog would have stored it.
#include "cli/cli_options.h"
#include "core/conversion_settings.h"

namespace pelmora::cli {

inline constexpr const char* kZoneOptionsUsage = "[--tz-bias MINUTES | --time-zone NAME|local]";

void AddZoneOptions(ArgParser& parser);
// Throws UsageError for both options at once, a bias out of range or a zone the system's
// zoneinfo does not know.
void ApplyZoneOptions(const ArgParser& parser, ConversionSettings& settings);

}  // namespace pelmora::cli
