#include "daemon/change_record.h"

#include <charconv>
#include <map>

#include "qmux/tlv.h"
#include "qmux/wire.h"

namespace vant::daemon {
namespace {

constexpr std::string_view kMagic = "vant-change 1";
constexpr char kHex[] = "0123456789abcdef";

std::string hex(std::span<const uint8_t> bytes) {
  std::string out;
  out.reserve(2 * bytes.size());
  for (uint8_t b : bytes) {
    out += kHex[b >> 4];
    out += kHex[b & 0xF];
  }
  return out;
}

int nibble(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::optional<std::vector<uint8_t>> unhex(std::string_view text, size_t limit) {
  if (text.size() % 2 != 0 || text.size() / 2 > limit) return std::nullopt;
  std::vector<uint8_t> out;
  out.reserve(text.size() / 2);
  for (size_t i = 0; i < text.size(); i += 2) {
    const int high = nibble(text[i]), low = nibble(text[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    out.push_back(static_cast<uint8_t>(high << 4 | low));
  }
  return out;
}

template <typename T>
bool number(std::string_view text, T& value) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

std::string message_text(const StoredMessage& m) {
  return std::to_string(m.service) + " " + std::to_string(m.message_id) + " " + hex(m.tlvs);
}

std::optional<StoredMessage> parse_message(std::string_view text) {
  const size_t first = text.find(' ');
  const size_t second = first == std::string_view::npos ? first : text.find(' ', first + 1);
  if (second == std::string_view::npos) return std::nullopt;
  StoredMessage m;
  auto tlvs = unhex(text.substr(second + 1), kChangeMessageLimit);
  if (!number(text.substr(0, first), m.service) ||
      !number(text.substr(first + 1, second - first - 1), m.message_id) || !tlvs)
    return std::nullopt;
  m.tlvs = std::move(*tlvs);
  return m;
}

// Splits "key value" lines; a repeated key or a line without a space fails.
std::optional<std::map<std::string_view, std::string_view>> fields_of(std::string_view text) {
  std::map<std::string_view, std::string_view> fields;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    if (end == std::string_view::npos) return std::nullopt;  // a cut-off last line
    const std::string_view line = text.substr(0, end);
    text.remove_prefix(end + 1);
    const size_t space = line.find(' ');
    if (space == std::string_view::npos) return std::nullopt;
    if (!fields.emplace(line.substr(0, space), line.substr(space + 1)).second) return std::nullopt;
  }
  return fields;
}

}  // namespace

bool journal_text_ok(std::string_view text) {
  if (text.size() > kChangeTextLimit) return false;
  for (char c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
  return true;
}

std::string encode_change(const ChangeRecord& r) {
  std::string out(kMagic);
  out += '\n';
  const auto line = [&out](std::string_view key, const std::string& value) {
    out.append(key).append(" ").append(value).append("\n");
  };
  line("id", std::to_string(r.id));
  line("started_ms", std::to_string(r.started_ms));
  line("deadline_ms", std::to_string(r.deadline_ms));
  line("revert_after_ms", std::to_string(r.revert_after_ms));
  line("boot_id", r.boot_id);
  line("device_key", hex(r.device_key));
  line("label", r.label);
  line("previous", r.previous);
  line("restore", message_text(r.restore));
  line("read_back", message_text(r.read_back));
  line("expected", hex(r.expected));
  return out;
}

std::optional<ChangeRecord> decode_change(std::string_view text) {
  if (text.size() > kJournalLimit || !text.starts_with(kMagic) ||
      text.substr(kMagic.size(), 1) != "\n")
    return std::nullopt;
  const auto fields = fields_of(text.substr(kMagic.size() + 1));
  if (!fields || fields->size() != 11) return std::nullopt;
  const auto field = [&fields](std::string_view key) -> std::optional<std::string_view> {
    const auto it = fields->find(key);
    if (it == fields->end()) return std::nullopt;
    return it->second;
  };
  ChangeRecord r;
  const auto id = field("id"), started = field("started_ms"), deadline = field("deadline_ms"),
             after = field("revert_after_ms"), boot = field("boot_id"), key = field("device_key"),
             label = field("label"), previous = field("previous"), restore = field("restore"),
             read_back = field("read_back"), expected = field("expected");
  if (!id || !started || !deadline || !after || !boot || !key || !label || !previous || !restore ||
      !read_back || !expected)
    return std::nullopt;
  if (!number(*id, r.id) || !number(*started, r.started_ms) || !number(*deadline, r.deadline_ms) ||
      !number(*after, r.revert_after_ms))
    return std::nullopt;
  const auto key_bytes = unhex(*key, r.device_key.size());
  const auto restore_message = parse_message(*restore);
  const auto read_back_message = parse_message(*read_back);
  auto expected_bytes = unhex(*expected, kChangeMessageLimit);
  if (!key_bytes || key_bytes->size() != r.device_key.size() || !restore_message ||
      !read_back_message || !expected_bytes || !journal_text_ok(*label) ||
      !journal_text_ok(*previous) || !journal_text_ok(*boot))
    return std::nullopt;
  std::copy(key_bytes->begin(), key_bytes->end(), r.device_key.begin());
  r.boot_id = *boot;
  r.label = *label;
  r.previous = *previous;
  r.restore = std::move(*restore_message);
  r.read_back = std::move(*read_back_message);
  r.expected = std::move(*expected_bytes);
  return r;
}

bool read_back_matches(std::span<const uint8_t> expected, std::span<const uint8_t> answer) {
  qmux::WireReader reader(expected);
  while (!reader.empty()) {
    uint8_t type = 0;
    uint16_t length = 0;
    std::span<const uint8_t> want;
    if (!reader.u8(type) || !reader.u16(length) || !reader.take(length, want)) return false;
    const auto got = qmux::find_tlv(answer, type);
    if (!got || got->size() < want.size() || !std::equal(want.begin(), want.end(), got->begin()))
      return false;
  }
  return true;
}

}  // namespace vant::daemon
