// vantsdk: parses the command line and wires the daemon's parts together.
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

#include "daemon/client_endpoints.h"
#include "daemon/daemon.h"
#include "daemon/detach.h"
#include "daemon/fd_link.h"
#include "daemon/group_grant.h"
#include "daemon/log.h"
#include "daemon/modem_list.h"
#include "daemon/options.h"
#include "daemon/simulation.h"
#include "daemon/sysfs_source.h"
#include "daemon/take_over.h"

namespace {

using namespace vant::daemon;

std::unique_ptr<SysfsSource> make_link_source(const DaemonOptions& options) {
  ModemSelector selector{ModemSelector::Kind::index, options.modem, {}};
  std::string unused;  // the parser has checked it
  if (!options.device.empty()) parse_modem_selector(options.device, selector, unused);
  auto source = std::make_unique<SysfsSource>(selector, options.sysfs_root, options.dev_root);
  if (options.qmi_proxy) source->reach_through_proxy();
  if (options.mbim) source->speak_mbim_on_unknown_nodes();
  return source;
}

// A node or modem named with --device that another daemon holds or another
// program has open is refused before detaching. After a
// take-over the daemon that ended may still be closing its node.
bool modem_available(SysfsSource& source, bool took_over, std::string& why) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(3);
  while (!source.available_now(why)) {
    if (!took_over || std::chrono::steady_clock::now() >= until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return true;
}

std::optional<ChangeJournal> change_journal(const DaemonOptions& options) {
  if (!options.state_dir.empty()) return ChangeJournal(options.state_dir, options.modem);
  if (options.simulate) return std::nullopt;
  return ChangeJournal(kDefaultStateDir, options.modem);
}

// Exit statuses besides 0 (clean end) and 2 (bad command line).
constexpr int kExitCannotStart = 1;
constexpr int kExitNamesHeldByOtherUser = 3;

int fail(const char* program, const std::string& message, int status = kExitCannotStart) {
  std::fprintf(stderr, "%s: %s\n", program, message.c_str());
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  const char* program = argc > 0 ? argv[0] : "vantsdk";
  const ParseResult parsed = parse_daemon_options(argc, argv);
  if (parsed.action == ParseAction::help) {
    std::fputs(daemon_usage(program).c_str(), stdout);
    return 0;
  }
  if (parsed.action == ParseAction::error) {
    std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n", program,
                 parsed.error.c_str(), program);
    return 2;
  }
  const DaemonOptions& options = parsed.options;
  if (options.list) {
    std::fputs(modem_list_text(options.sysfs_root, options.dev_root).c_str(), stdout);
    return 0;
  }
  std::optional<gid_t> allowed_group;
  if (!options.allow_group.empty()) {
    allowed_group = group_by_name(options.allow_group);
    if (!allowed_group) return fail(program, "no group " + options.allow_group, 2);
  }
  block_stop_signals();

  // Refusals come before detaching, so that they reach whoever started us.
  std::string error;
  std::optional<ClientEndpoints> endpoints;
  bool took_over = false;
  switch (ClientEndpoints::open(options.modem, endpoints, error)) {
    case EndpointsStatus::already_running: {
      const std::string running =
          "a daemon for modem " + std::to_string(options.modem) + " is already running";
      if (!options.take_over) return fail(program, running);
      pid_t ended = 0;
      if (!take_over(options.modem, endpoints, ended, error))
        return fail(program, running + " and is not taken over: " + error);
      std::fprintf(stderr, "%s: took over modem %u from the daemon of process %d\n", program,
                   options.modem, static_cast<int>(ended));
      took_over = true;
      break;
    }
    case EndpointsStatus::held_by_other:
      return fail(program,
                  "the sockets of modem " + std::to_string(options.modem) +
                      " are held by another user: " + error,
                  kExitNamesHeldByOtherUser);
    case EndpointsStatus::failed:
      return fail(program, error);
    case EndpointsStatus::open:
      break;
  }
  std::unique_ptr<LinkSource> source;
  if (options.simulate) {
    source = make_simulation_source(options.scenario, options.mbim, error);
    if (!source) return fail(program, error);
  } else {
    auto modem = make_link_source(options);
    if (!modem_available(*modem, took_over, error)) return fail(program, error);
    source = std::move(modem);
  }
  if (!options.foreground && !detach_from_caller(error)) return fail(program, error);
  log_open(options.foreground ? LogSink::standard_error : LogSink::syslog, options.verbose);

  Daemon daemon(std::move(*endpoints), std::move(source), change_journal(options));
  if (allowed_group) daemon.allow_group(*allowed_group);
  install_stop_signals(daemon);
  const int status = daemon.run();
  log_close();
  return status;
}
