#include "sim/json_fields.h"

namespace vant::sim {

std::string describe(const Json& value) {
  std::string text = value.dump();
  constexpr size_t kMaxShown = 40;
  if (text.size() > kMaxShown) text = text.substr(0, kMaxShown) + "...";
  return std::string(value.type_name()) + " " + text;
}

Json parse_hex(const Json& value, const std::string& path) {
  const std::string text = value.get<std::string>();
  const bool hex = text.size() > 2 && text.size() <= 18 && text[0] == '0' &&
                   (text[1] == 'x' || text[1] == 'X') &&
                   text.find_first_not_of("0123456789abcdefABCDEF", 2) == std::string::npos;
  if (!hex)
    throw FieldError(path,
                     "expected an integer or a hexadecimal text \"0x...\", got " + describe(value));
  return Json(std::stoull(text.substr(2), nullptr, 16));
}

bool read_bool(const Json& value, const std::string& path) {
  if (!value.is_boolean()) throw FieldError(path, "expected true or false, got " + describe(value));
  return value.get<bool>();
}

std::string read_string(const Json& value, const std::string& path) {
  if (!value.is_string()) throw FieldError(path, "expected a text, got " + describe(value));
  return value.get<std::string>();
}

ObjectReader::ObjectReader(const Json& object, std::string path)
    : object_(object), path_(std::move(path)) {
  if (!object_.is_object())
    throw FieldError(path_.empty() ? "(top level)" : path_,
                     "expected an object, got " + describe(object_));
}

const Json& ObjectReader::at(const char* key) {
  read_.insert(key);
  return object_.at(key);
}

void ObjectReader::boolean(const char* key, bool& out) {
  if (has(key)) out = read_bool(at(key), path_of(key));
}

void ObjectReader::string(const char* key, std::string& out) {
  if (has(key)) out = read_string(at(key), path_of(key));
}

void ObjectReader::require(const char* key) const {
  if (!has(key)) throw FieldError(path_of(key), "missing");
}

void ObjectReader::finish() const {
  for (const auto& [key, value] : object_.items()) {
    if (!read_.contains(key)) throw FieldError(path_of(key.c_str()), "unknown field");
  }
}

}  // namespace vant::sim
