// The cell location report that `vantctl --scan` must print for an emulated
// modem, worked out from the scenario file alone. It shares no code with the
// tool, the library or the emulator: the scenario's values are read straight
// from the JSON and laid out line by line as the report's console format
// prescribes, so a fault anywhere on the way (emulator encoding, daemon relay,
// request decoding, report printing) shows as a difference.
#pragma once

#include <nlohmann/json.hpp>

#include <string>

namespace vant::e2e {

// The whole report (result lines included) for a scenario whose cells are
// given in full: no "base" and no active channel lock, which would make the
// modem report something else than its file says. Throws
// std::invalid_argument for such a scenario or for a value it cannot read.
std::string expected_cell_report(const nlohmann::json& scenario);

}  // namespace vant::e2e
