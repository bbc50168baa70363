#include "vant/json_value.h"

#include <algorithm>

namespace vant::cli {
namespace {

bool is_member_pair(const Json& element) {
  return element.is_array() && element.size() == 2 && element[size_t{0}].is_string();
}

bool is_number(Json::Type type) {
  return type == Json::Type::kInteger || type == Json::Type::kUnsigned || type == Json::Type::kReal;
}

// Integers compare exactly, whatever their signs; a double against its value.
bool same_number(const Json& a, const Json& b) {
  using Type = Json::Type;
  if (a.type() == Type::kReal || b.type() == Type::kReal) return a.get<double>() == b.get<double>();
  if (a.type() == b.type())
    return a.type() == Type::kInteger ? a.integer() == b.integer()
                                      : a.unsigned_integer() == b.unsigned_integer();
  const Json& negative_side = a.type() == Type::kInteger ? a : b;
  const Json& unsigned_side = a.type() == Type::kInteger ? b : a;
  return negative_side.integer() >= 0 &&
         static_cast<uint64_t>(negative_side.integer()) == unsigned_side.unsigned_integer();
}

const Json& null_value() {
  static const Json null;
  return null;
}

}  // namespace

Json::Json(std::initializer_list<Json> list) {
  if (list.size() > 0 && std::all_of(list.begin(), list.end(), is_member_pair)) {
    type_ = Type::kObject;
    for (const Json& pair : list) (*this)[pair.values_[0].text_] = pair.values_[1];
    return;
  }
  type_ = Type::kArray;
  values_.assign(list.begin(), list.end());
}

Json Json::array() {
  Json value;
  value.type_ = Type::kArray;
  return value;
}

Json Json::object() {
  Json value;
  value.type_ = Type::kObject;
  return value;
}

size_t Json::size() const {
  switch (type_) {
    case Type::kNull:
      return 0;
    case Type::kArray:
    case Type::kObject:
      return values_.size();
    default:
      return 1;
  }
}

Json& Json::operator[](std::string_view key) {
  if (type_ != Type::kObject) *this = object();
  for (size_t i = 0; i < keys_.size(); ++i)
    if (keys_[i] == key) return values_[i];
  keys_.emplace_back(key);
  return values_.emplace_back();
}

const Json& Json::operator[](std::string_view key) const {
  if (type_ == Type::kObject)
    for (size_t i = 0; i < keys_.size(); ++i)
      if (keys_[i] == key) return values_[i];
  return null_value();
}

const Json& Json::operator[](size_t index) const {
  return type_ == Type::kArray && index < values_.size() ? values_[index] : null_value();
}

bool Json::contains(std::string_view key) const {
  return type_ == Type::kObject && std::find(keys_.begin(), keys_.end(), key) != keys_.end();
}

void Json::push_back(Json value) {
  if (type_ != Type::kArray) *this = array();
  values_.push_back(std::move(value));
}

void Json::update(const Json& members) {
  for (const auto& [key, value] : members.items()) (*this)[key] = value;
}

bool operator==(const Json& a, const Json& b) {
  if (is_number(a.type_) && is_number(b.type_)) return same_number(a, b);
  if (a.type_ != b.type_) return false;
  switch (a.type_) {
    case Json::Type::kBool:
      return a.bool_ == b.bool_;
    case Json::Type::kString:
      return a.text_ == b.text_;
    case Json::Type::kArray:
    case Json::Type::kObject:
      return a.keys_ == b.keys_ && a.values_ == b.values_;
    default:
      return true;
  }
}

}  // namespace vant::cli
