// Scenario files: JSON documents described in docs/scenarios.md.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "sim/scenario.h"

namespace vant::sim {

namespace schema {
enum class Format : uint8_t;
}

// Parses a scenario from its text; source names it in error messages. On
// failure returns nothing and sets error to one line naming the source and
// the field, for instance:
//   scenario "x.json": field "cells.umts.rscp": expected an integer from -32768 to 32767, got ...
std::optional<Scenario> parse_scenario(const std::string& text, const std::string& source,
                                       std::string& error);

std::optional<Scenario> load_scenario_file(const std::string& path, std::string& error);

// The folder of the scenarios that come with the emulator.
std::string bundled_scenario_dir();

// A file path, or the name of a bundled scenario ("modem-flaps" or
// "modem-flaps.json"); an empty argument gives the built-in default.
std::optional<Scenario> load_scenario_argument(const std::string& argument, std::string& error);

// Every field a scenario may hold, object by object: name, what it takes and
// what it means, as plain text, a Markdown section or roff for the manual.
std::string scenario_field_reference(schema::Format format);

}  // namespace vant::sim
