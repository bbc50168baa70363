#include "qmux/ctl.h"
#include "qmux/response.h"
#include "sim/services.h"

namespace vant::sim {
namespace {

using qmux::Frame;

// The services this modem announces, with the versions hosts check.
constexpr qmux::ctl::ServiceVersion kVersions[] = {
    {kServiceCtl, 1, 5}, {kServiceWds, 1, 67}, {kServiceDms, 1, 14}, {kServiceNas, 1, 25}};

uint8_t ctl_transaction(const Frame& request) {
  return static_cast<uint8_t>(request.transaction);
}

}  // namespace

Reply ctl_get_version_info(const Frame& request, ModemState&) {
  return {qmux::ctl::version_info_response(ctl_transaction(request), kVersions)};
}

Reply ctl_allocate_client_id(const Frame& request, ModemState& state) {
  const auto service = qmux::ctl::parse_allocate_client_id_request(request);
  if (!service) return {qmux::result_only_response(request, kErrMissingArgument)};
  if (*service == kServiceCtl) return {qmux::result_only_response(request, kErrInvalidArgument)};
  const auto id = state.client_ids.allocate(*service);
  if (!id) return {qmux::result_only_response(request, kErrClientIdsExhausted)};
  return {qmux::ctl::allocate_client_id_response(ctl_transaction(request), 0, {*service, *id})};
}

Reply ctl_release_client_id(const Frame& request, ModemState& state) {
  const auto id = qmux::ctl::parse_release_client_id_request(request);
  if (!id) return {qmux::result_only_response(request, kErrMissingArgument)};
  const uint16_t error =
      state.client_ids.release(id->service, id->client_id) ? 0 : kErrInvalidClientId;
  return {qmux::ctl::release_client_id_response(ctl_transaction(request), error, *id)};
}

// The host starts afresh: every client id it held is free again.
Reply ctl_sync(const Frame& request, ModemState& state) {
  state.client_ids.release_all();
  return {qmux::ctl::sync_response(ctl_transaction(request), 0)};
}

Reply unknown_message(const Frame& request) {
  return {qmux::result_only_response(request, kErrUnknownCommand)};
}

}  // namespace vant::sim
