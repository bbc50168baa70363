// Reading scenario JSON field by field, with every error naming the field by
// its path ("cells.lte_inter.frequencies[1].cells[0].rsrp") so that a bad
// scenario file can be fixed from the message alone.
#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <limits>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

namespace vant::sim {

using Json = nlohmann::json;

// What went wrong, and where.
class FieldError : public std::runtime_error {
 public:
  FieldError(std::string path, const std::string& problem)
      : std::runtime_error(problem), path_(std::move(path)) {}
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

std::string describe(const Json& value);

// A text "0x..." as a JSON integer (identities read better in hexadecimal).
Json parse_hex(const Json& value, const std::string& path);

// An integer of the field's wire width, written as a number or as "0x..."; out-of-range values are
// refused.
template <class T>
T read_integer(const Json& value, const std::string& path) {
  static_assert(std::is_integral_v<T>);
  using Lim = std::numeric_limits<T>;
  const std::string range = "expected an integer from " + std::to_string(Lim::min()) + " to " +
                            std::to_string(Lim::max());
  if (value.is_string()) return read_integer<T>(parse_hex(value, path), path);
  if (!value.is_number_integer()) throw FieldError(path, range + ", got " + describe(value));
  if (value.is_number_unsigned()) {
    const auto v = value.get<uint64_t>();
    if (v > static_cast<uint64_t>(Lim::max()))
      throw FieldError(path, range + ", got " + describe(value));
    return static_cast<T>(v);
  }
  const auto v = value.get<int64_t>();
  if (v < static_cast<int64_t>(Lim::min()) || v > static_cast<int64_t>(Lim::max()))
    throw FieldError(path, range + ", got " + describe(value));
  return static_cast<T>(v);
}

bool read_bool(const Json& value, const std::string& path);
std::string read_string(const Json& value, const std::string& path);

// The fields of one JSON object. Each read marks its key as known; finish()
// refuses the keys nobody read, which catches misspelt field names.
class ObjectReader {
 public:
  ObjectReader(const Json& object, std::string path);

  bool has(const char* key) const { return object_.contains(key); }
  const Json& at(const char* key);
  std::string path_of(const char* key) const { return child_path(path_, key); }

  template <class T>
  void integer(const char* key, T& out) {
    if (has(key)) out = read_integer<T>(at(key), path_of(key));
  }
  template <class T>
  void integer(const char* key, std::optional<T>& out) {
    if (has(key)) out = read_integer<T>(at(key), path_of(key));
  }
  template <class T>
  void required_integer(const char* key, T& out) {
    require(key);
    out = read_integer<T>(at(key), path_of(key));
  }
  void boolean(const char* key, bool& out);
  void string(const char* key, std::string& out);

  // A list whose items read_item(json, path) turns into values.
  template <class T, class F>
  void list(const char* key, std::vector<T>& out, F read_item, size_t max_items = 255) {
    if (!has(key)) return;
    const Json& array = at(key);
    const std::string path = path_of(key);
    if (!array.is_array()) throw FieldError(path, "expected a list, got " + describe(array));
    if (array.size() > max_items)
      throw FieldError(path, "at most " + std::to_string(max_items) + " entries allowed, got " +
                                 std::to_string(array.size()));
    out.clear();
    for (size_t i = 0; i < array.size(); ++i)
      out.push_back(read_item(array[i], path + "[" + std::to_string(i) + "]"));
  }

  void require(const char* key) const;
  void finish() const;

  static std::string child_path(const std::string& parent, const char* key) {
    return parent.empty() ? std::string(key) : parent + "." + key;
  }

 private:
  const Json& object_;
  std::string path_;
  std::set<std::string> read_;
};

}  // namespace vant::sim
