#pragma once

#include <string>
#include <vector>

#include "bridge_settings.h"
#include "child_process.h"
#include "start_failure.h"

namespace hideaway::bridge {

/// The environment for Wine: the prefix, and quiet unless the user asked for Wine's messages. A
/// new prefix is made without offering to install Mono or Gecko, which no phone DLL needs.
std::vector<std::string> wineEnvironment(const std::string& prefix);

/// Makes the settings' prefix ready for a host by the deadline: made by `wineboot` when new, the
/// COM ports recorded in its registry (`wine reg`) and linked in its dosdevices. Each of Wine's
/// commands runs in a process group of its own and must succeed. None, or why not with text.
StartFailure prepareWinePrefix(const BridgeSettings& settings,
                               const std::vector<std::string>& environment,
                               Clock::time_point deadline, std::string& text);

}  // namespace hideaway::bridge
