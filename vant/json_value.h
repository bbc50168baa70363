// A JSON value as vant builds its documents: null, booleans, integers,
// doubles, strings, arrays, and objects whose members keep the order they
// were added in. A brace list of {"name", value} members is an object:
// Json{{"pci", 41}, {"rsrp_dbm", -88.5}}.
//
// Documents are built in many places, so the value is kept small: a scalar
// in place, anything else on the heap, which keeps the code that builds,
// moves and drops values short (it is most of vant on a router's flash).
#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace vant::cli {

class Json {
 public:
  enum class Type : uint8_t { kNull, kBool, kInteger, kUnsigned, kReal, kString, kArray, kObject };
  struct Member;

  Json() = default;
  Json(std::nullptr_t) {}
  Json(bool value) : type_(Type::kBool) { data_.boolean = value; }
  template <std::signed_integral T>
  Json(T value) : type_(Type::kInteger) {
    data_.integer = value;
  }
  template <std::unsigned_integral T>
  requires(!std::same_as<T, bool>) Json(T value) : type_(Type::kUnsigned) {
    data_.unsigned_integer = value;
  }
  Json(double value) : type_(Type::kReal) { data_.real = value; }
  Json(const char* text);
  Json(std::string text);
  template <class T>
  Json(const std::vector<T>& list) : Json(array()) {
    for (const T& element : list) push_back(element);
  }
  Json(std::initializer_list<Member> members);

  Json(const Json& other);
  Json(Json&& other) noexcept : type_(other.type_), data_(other.data_) {
    other.type_ = Type::kNull;
  }
  Json& operator=(const Json& other);
  Json& operator=(Json&& other) noexcept;
  ~Json() {
    if (type_ >= Type::kString) release();
  }

  static Json array();
  static Json object();

  Type type() const { return type_; }
  bool is_null() const { return type_ == Type::kNull; }
  bool is_string() const { return type_ == Type::kString; }
  bool is_array() const { return type_ == Type::kArray; }
  bool is_object() const { return type_ == Type::kObject; }
  bool is_structured() const { return is_array() || is_object(); }

  // Elements of an array or members of an object; 0 for null, 1 for a scalar.
  size_t size() const;
  bool empty() const { return size() == 0; }

  // The member `key`, added as null when missing (a null becomes an object).
  // Names are taken as they come, so that a literal needs no length worked
  // out where it is written.
  Json& operator[](const char* key) { return member_named(key); }
  Json& operator[](const std::string& key) { return member_named(key); }
  // The member `key`, or null when missing.
  const Json& operator[](const char* key) const { return find(key); }
  const Json& operator[](const std::string& key) const { return find(key); }
  // The element `index` of an array, or null past its end.
  const Json& operator[](size_t index) const;
  bool contains(const char* key) const { return &find(key) != &null_value(); }

  // Appends to an array (a null becomes one).
  void push_back(Json value);
  // Sets each member of `members` in this object: an existing one keeps its place.
  void update(const Json& members);

  // The scalar as T: a number as any arithmetic type, a boolean, a string;
  // the zero value of T when it is none of those.
  template <class T>
  T get() const {
    if constexpr (std::is_same_v<T, bool>) {
      return type_ == Type::kBool && data_.boolean;
    } else if constexpr (std::is_same_v<T, std::string>) {
      return text();
    } else {
      switch (type_) {
        case Type::kInteger:
          return static_cast<T>(data_.integer);
        case Type::kUnsigned:
          return static_cast<T>(data_.unsigned_integer);
        case Type::kReal:
          return static_cast<T>(data_.real);
        default:
          return T{};
      }
    }
  }
  bool boolean() const { return data_.boolean; }
  int64_t integer() const { return data_.integer; }
  uint64_t unsigned_integer() const { return data_.unsigned_integer; }
  double real() const { return data_.real; }
  // A string's text; empty for anything else.
  const std::string& text() const;

  // Range-for over the elements of an array or the values of an object.
  std::vector<Json>::const_iterator begin() const;
  std::vector<Json>::const_iterator end() const;

  struct MemberView {
    const std::string& key;
    const Json& value;
  };
  class MemberIterator {
   public:
    MemberIterator(const Json& object, size_t index) : object_(&object), index_(index) {}
    MemberView operator*() const { return object_->member(index_); }
    MemberIterator& operator++() {
      ++index_;
      return *this;
    }
    bool operator!=(const MemberIterator& other) const { return index_ != other.index_; }

   private:
    const Json* object_;
    size_t index_;
  };
  struct Members {
    const Json& object;
    MemberIterator begin() const { return {object, 0}; }
    MemberIterator end() const { return {object, object.is_object() ? object.size() : 0}; }
  };
  // Range-for over the members of an object, in order: `auto [key, value]`.
  Members items() const { return {*this}; }

  // Numbers equal by value whatever their kind; members compared in order.
  friend bool operator==(const Json& a, const Json& b);

 private:
  struct Node;
  MemberView member(size_t index) const;
  Json& member_named(std::string_view key);
  const Json& find(std::string_view key) const;
  static const Json& null_value();
  void release();

  Type type_ = Type::kNull;
  union {
    bool boolean;
    int64_t integer;
    uint64_t unsigned_integer;
    double real;
    Node* node;  // strings, arrays and objects
  } data_{.unsigned_integer = 0};
};

struct Json::Member {
  const char* key;  // a literal: no length is worked out where documents are built
  Json value;
};

}  // namespace vant::cli
