// Carrying out a plan: vant run on one modem, one request at a time, and its
// outcome as the answer both front ends give (the CGI as an HTTP status and
// body, the rpcd plugin as the body alone).
#pragma once

#include <string>
#include <vector>

#include "cgi/api.h"
#include "cgi/run.h"

namespace vant::cgi {

// The vant program to run, the daemon path it is handed (-s), and the modem.
struct Target {
  std::string vant, sdk;
  unsigned modem = 0;
};

std::vector<std::string> vant_argv(const Target& target, const std::vector<std::string>& arguments);

// vant's answer: its document when it succeeded, else its message, its
// status and whatever document it printed. `extra` goes into the object.
Answer relay(const RunResult& run, int timeout_s, const std::string& extra = "");

// Runs the plan's vant (for best-cell: the ranking, then the lock to its
// first cell) without taking a slot: the caller holds it.
Answer run_plan(const Target& target, const Plan& planned);

// Takes the plan's slot (the scan's without waiting, the command's waiting
// up to wait_ms), then runs it.
Answer carry_out(const Target& target, const Plan& planned, int wait_ms);

}  // namespace vant::cgi
