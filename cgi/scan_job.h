// The operator scan over rpcd. It takes up to five minutes, longer than a
// ubus call may, so `scan` starts it in a process of its own, which holds
// the modem's scan slot for the run (run.h) and writes how it stands to a
// file in the state folder; `operators` reads that file.
//
// The file, scan.modem<N>.json, is one of
//   {"state":"running","started":T}
//   {"state":"done","started":T,"finished":T,"result":ANSWER}
// with T in seconds since the epoch and ANSWER what the web API answers for
// GET /operators (vant's document, or the error object).
#pragma once

#include <string>

#include "cgi/api.h"
#include "cgi/relay.h"

namespace vant::cgi {

// {"state":"running","started":T,"seconds":0} once the scan runs; 409 when
// one already runs for the modem, 500 when the state folder is unusable.
Answer start_scan(const Target& target, const std::string& state_dir);

// The file's document; "running" gains "seconds" (how long it has run).
// {"state":"none"} before the first scan, and {"state":"failed",...} when
// the process ended without writing its answer.
Answer scan_state(const Target& target, const std::string& state_dir);

}  // namespace vant::cgi
