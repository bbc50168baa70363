// vantctl: one modem command per run. Options are read and checked, the SDK
// daemon is started or attached to, and exactly one command runs. The daemon
// is left running for the next run.
#include <cstdio>

#include "src/daemon_path.h"
#include "src/dispatch.h"
#include "src/option_table.h"
#include "src/signal_handlers.h"
#include "src/start_sdk.h"

namespace {
// 255 as the process sees it.
constexpr int kExitOptionFailure = -1;
constexpr int kExitStartFailure = 1;
}  // namespace

int main(int argc, char** argv) {
  if (opts_init(OptionTable, kOptionTableSize) != 0) {
    std::fprintf(stderr, "%s: failed to init argument parser\n", "main");
    return kExitOptionFailure;
  }
  if (opts_parse_args(argc, argv) != 0) {
    std::fprintf(stderr, "%s: opts parse args failed\n", "main");
    return kExitOptionFailure;
  }
  if (opts_validate() != 0) {
    std::fprintf(stderr, "%s: opts validate failed\n", "main");
    return kExitOptionFailure;
  }
  if (!copy_daemon_path(opts_get_string(kSdkPathOption))) {
    std::perror("main");
    return kExitStartFailure;
  }
  const CommandOptions options = read_command_options();

  const uint32_t result = StartSDK(modem_index(options.modem));
  if (result != 0) {
    free_daemon_path();
    std::fprintf(stderr, "Failed to start SDK : Exiting App\nFailure Code : %u\n", result);
    std::fprintf(stderr, "Failure Reason : %s\n", start_failure_reason());
    return kExitStartFailure;
  }
  install_front_end_signal_handlers();
  dispatch_command(options);
  free_daemon_path();
  return 0;
}
