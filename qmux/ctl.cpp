#include "qmux/ctl.h"

namespace vant::qmux::ctl {
namespace {

Frame ctl_frame(Sender sender, MessageKind kind, uint8_t transaction, uint16_t message_id,
                std::vector<uint8_t> tlvs = {}) {
  Frame f;
  f.sender = sender;
  f.service = kServiceCtl;
  f.client_id = 0;
  f.kind = kind;
  f.transaction = transaction;
  f.message_id = message_id;
  f.tlvs = std::move(tlvs);
  return f;
}

bool is_ctl(const Frame& f, MessageKind kind, uint16_t message_id) {
  return f.service == kServiceCtl && f.kind == kind && f.message_id == message_id;
}

std::vector<uint8_t> client_id_tlv(ClientId id, uint16_t error, bool with_result) {
  TlvBuilder tlvs;
  if (with_result) tlvs.add_result(error);
  auto& w = tlvs.begin(kClientIdTlv);
  w.u8(id.service);
  w.u8(id.client_id);
  tlvs.end();
  return tlvs.take();
}

std::optional<ClientId> read_client_id(const Frame& f) {
  const auto value = find_tlv(f.tlvs, kClientIdTlv);
  if (!value) return std::nullopt;
  WireReader r(*value);
  ClientId id;
  if (!r.u8(id.service) || !r.u8(id.client_id)) return std::nullopt;
  return id;
}

}  // namespace

Frame get_version_info_request(uint8_t transaction) {
  return ctl_frame(Sender::host, MessageKind::request, transaction, kGetVersionInfo);
}

Frame allocate_client_id_request(uint8_t transaction, uint8_t service) {
  TlvBuilder tlvs;
  const uint8_t value[] = {service};
  tlvs.add(kClientIdTlv, value);
  return ctl_frame(Sender::host, MessageKind::request, transaction, kAllocateClientId, tlvs.take());
}

Frame release_client_id_request(uint8_t transaction, ClientId id) {
  return ctl_frame(Sender::host, MessageKind::request, transaction, kReleaseClientId,
                   client_id_tlv(id, 0, false));
}

Frame sync_request(uint8_t transaction) {
  return ctl_frame(Sender::host, MessageKind::request, transaction, kSync);
}

Frame proxy_open_request(uint8_t transaction, std::span<const uint8_t> device_path) {
  TlvBuilder tlvs;
  tlvs.add(kDevicePathTlv, device_path);
  return ctl_frame(Sender::host, MessageKind::request, transaction, kInternalProxyOpen,
                   tlvs.take());
}

std::optional<QmiResult> parse_proxy_open_response(const Frame& frame) {
  if (!is_ctl(frame, MessageKind::response, kInternalProxyOpen)) return std::nullopt;
  return find_result(frame.tlvs);
}

std::optional<std::vector<ServiceVersion>> parse_version_info_response(const Frame& frame) {
  if (!is_ctl(frame, MessageKind::response, kGetVersionInfo)) return std::nullopt;
  const auto value = find_tlv(frame.tlvs, kVersionListTlv);
  if (!value) return std::nullopt;
  WireReader r(*value);
  uint8_t count = 0;
  if (!r.u8(count)) return std::nullopt;
  std::vector<ServiceVersion> versions(count);
  for (auto& v : versions) {
    if (!r.u8(v.service) || !r.u16(v.major) || !r.u16(v.minor)) return std::nullopt;
  }
  return versions;
}

std::optional<ClientId> parse_allocate_client_id_response(const Frame& frame) {
  if (!is_ctl(frame, MessageKind::response, kAllocateClientId)) return std::nullopt;
  return read_client_id(frame);
}

std::optional<ClientId> parse_release_client_id_response(const Frame& frame) {
  if (!is_ctl(frame, MessageKind::response, kReleaseClientId)) return std::nullopt;
  return read_client_id(frame);
}

bool is_sync_indication(const Frame& frame) {
  return is_ctl(frame, MessageKind::indication, kSync);
}

std::optional<uint8_t> parse_allocate_client_id_request(const Frame& frame) {
  if (!is_ctl(frame, MessageKind::request, kAllocateClientId)) return std::nullopt;
  const auto value = find_tlv(frame.tlvs, kClientIdTlv);
  if (!value) return std::nullopt;
  WireReader r(*value);
  uint8_t service = 0;
  if (!r.u8(service)) return std::nullopt;
  return service;
}

std::optional<ClientId> parse_release_client_id_request(const Frame& frame) {
  if (!is_ctl(frame, MessageKind::request, kReleaseClientId)) return std::nullopt;
  return read_client_id(frame);
}

Frame version_info_response(uint8_t transaction, std::span<const ServiceVersion> versions) {
  TlvBuilder tlvs;
  tlvs.add_result(0);
  auto& w = tlvs.begin(kVersionListTlv);
  w.u8(static_cast<uint8_t>(versions.size()));
  for (const auto& v : versions) {
    w.u8(v.service);
    w.u16(v.major);
    w.u16(v.minor);
  }
  tlvs.end();
  return ctl_frame(Sender::modem, MessageKind::response, transaction, kGetVersionInfo, tlvs.take());
}

Frame allocate_client_id_response(uint8_t transaction, uint16_t error, ClientId id) {
  return ctl_frame(Sender::modem, MessageKind::response, transaction, kAllocateClientId,
                   client_id_tlv(id, error, true));
}

Frame release_client_id_response(uint8_t transaction, uint16_t error, ClientId id) {
  return ctl_frame(Sender::modem, MessageKind::response, transaction, kReleaseClientId,
                   client_id_tlv(id, error, true));
}

Frame sync_response(uint8_t transaction, uint16_t error) {
  TlvBuilder tlvs;
  tlvs.add_result(error);
  return ctl_frame(Sender::modem, MessageKind::response, transaction, kSync, tlvs.take());
}

Frame sync_indication() {
  return ctl_frame(Sender::modem, MessageKind::indication, 0, kSync);
}

}  // namespace vant::qmux::ctl
