#include "vant/json_value.h"

#include <algorithm>

namespace vant::cli {

struct Json::Node {
  std::string text;               // a string
  std::vector<Json> values;       // array elements, or object member values
  std::vector<std::string> keys;  // object member names
};

namespace {

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
  const Json& signed_side = a.type() == Type::kInteger ? a : b;
  const Json& unsigned_side = a.type() == Type::kInteger ? b : a;
  return signed_side.integer() >= 0 &&
         static_cast<uint64_t>(signed_side.integer()) == unsigned_side.unsigned_integer();
}

}  // namespace

const Json& Json::null_value() {
  static const Json null;
  return null;
}

Json::Json(const char* text) : Json(std::string(text)) {}

Json::Json(std::string text) : type_(Type::kString) {
  data_.node = new Node{std::move(text), {}, {}};
}

Json::Json(std::initializer_list<Member> members) : Json(object()) {
  for (const Member& member : members) (*this)[member.key] = member.value;
}

Json::Json(const Json& other) : type_(other.type_), data_(other.data_) {
  if (type_ >= Type::kString) data_.node = new Node(*other.data_.node);
}

Json& Json::operator=(const Json& other) {
  if (this != &other) *this = Json(other);
  return *this;
}

Json& Json::operator=(Json&& other) noexcept {
  if (this != &other) {
    if (type_ >= Type::kString) release();
    type_ = other.type_;
    data_ = other.data_;
    other.type_ = Type::kNull;
  }
  return *this;
}

void Json::release() {
  delete data_.node;
}

Json Json::array() {
  Json value;
  value.type_ = Type::kArray;
  value.data_.node = new Node;
  return value;
}

Json Json::object() {
  Json value = array();
  value.type_ = Type::kObject;
  return value;
}

const std::string& Json::text() const {
  static const std::string empty;
  return type_ == Type::kString ? data_.node->text : empty;
}

std::vector<Json>::const_iterator Json::begin() const {
  static const std::vector<Json> none;
  return is_structured() ? data_.node->values.begin() : none.begin();
}

std::vector<Json>::const_iterator Json::end() const {
  static const std::vector<Json> none;
  return is_structured() ? data_.node->values.end() : none.end();
}

Json::MemberView Json::member(size_t index) const {
  return {data_.node->keys[index], data_.node->values[index]};
}

size_t Json::size() const {
  if (is_structured()) return data_.node->values.size();
  return is_null() ? 0 : 1;
}

Json& Json::member_named(std::string_view key) {
  if (type_ != Type::kObject) *this = object();
  Node& node = *data_.node;
  for (size_t i = 0; i < node.keys.size(); ++i)
    if (node.keys[i] == key) return node.values[i];
  node.keys.emplace_back(key);
  return node.values.emplace_back();
}

const Json& Json::find(std::string_view key) const {
  if (type_ == Type::kObject)
    for (size_t i = 0; i < data_.node->keys.size(); ++i)
      if (data_.node->keys[i] == key) return data_.node->values[i];
  return null_value();
}

const Json& Json::operator[](size_t index) const {
  return is_array() && index < data_.node->values.size() ? data_.node->values[index] : null_value();
}

void Json::push_back(Json value) {
  if (type_ != Type::kArray) *this = array();
  data_.node->values.push_back(std::move(value));
}

void Json::update(const Json& members) {
  for (const auto& [key, value] : members.items()) (*this)[key] = value;
}

bool operator==(const Json& a, const Json& b) {
  if (is_number(a.type_) && is_number(b.type_)) return same_number(a, b);
  if (a.type_ != b.type_) return false;
  switch (a.type_) {
    case Json::Type::kBool:
      return a.data_.boolean == b.data_.boolean;
    case Json::Type::kString:
      return a.data_.node->text == b.data_.node->text;
    case Json::Type::kArray:
    case Json::Type::kObject:
      return a.data_.node->keys == b.data_.node->keys &&
             a.data_.node->values == b.data_.node->values;
    default:
      return true;
  }
}

}  // namespace vant::cli
