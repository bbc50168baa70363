// A JSON value as vant builds its documents: null, booleans, integers,
// doubles, strings, arrays, and objects whose members keep the order they
// were added in. A brace list is written the way the documents read: a list
// whose every element is a [text, value] pair is an object, any other list an
// array, so that {{"pci", 41}, {"earfcn", 2000}} is an object of two members.
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

  Json() = default;
  Json(std::nullptr_t) {}
  Json(bool value) : type_(Type::kBool), bool_(value) {}
  template <std::signed_integral T>
  Json(T value) : type_(Type::kInteger), integer_(value) {}
  template <std::unsigned_integral T>
  requires(!std::same_as<T, bool>) Json(T value) : type_(Type::kUnsigned), unsigned_(value) {}
  Json(double value) : type_(Type::kReal), real_(value) {}
  Json(const char* text) : type_(Type::kString), text_(text) {}
  Json(std::string text) : type_(Type::kString), text_(std::move(text)) {}
  template <class T>
  Json(const std::vector<T>& list) : type_(Type::kArray), values_(list.begin(), list.end()) {}
  Json(std::initializer_list<Json> list);

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
  Json& operator[](std::string_view key);
  // The member `key`, or null when missing.
  const Json& operator[](std::string_view key) const;
  // The element `index` of an array, or null past its end.
  const Json& operator[](size_t index) const;
  bool contains(std::string_view key) const;

  // Appends to an array (a null becomes one).
  void push_back(Json value);
  // Sets each member of `members` in this object: an existing one keeps its place.
  void update(const Json& members);

  // The scalar as T: a number as any arithmetic type, a boolean, a string;
  // the zero value of T when it is none of those.
  template <class T>
  T get() const {
    if constexpr (std::is_same_v<T, bool>) {
      return type_ == Type::kBool && bool_;
    } else if constexpr (std::is_same_v<T, std::string>) {
      return text_;
    } else {
      switch (type_) {
        case Type::kInteger:
          return static_cast<T>(integer_);
        case Type::kUnsigned:
          return static_cast<T>(unsigned_);
        case Type::kReal:
          return static_cast<T>(real_);
        default:
          return T{};
      }
    }
  }
  bool boolean() const { return bool_; }
  int64_t integer() const { return integer_; }
  uint64_t unsigned_integer() const { return unsigned_; }
  double real() const { return real_; }
  const std::string& text() const { return text_; }

  // Range-for over the elements of an array or the values of an object.
  std::vector<Json>::const_iterator begin() const { return values_.begin(); }
  std::vector<Json>::const_iterator end() const { return values_.end(); }

  struct Member {
    const std::string& key;
    const Json& value;
  };
  class MemberIterator {
   public:
    MemberIterator(const Json& object, size_t index) : object_(&object), index_(index) {}
    Member operator*() const { return {object_->keys_[index_], object_->values_[index_]}; }
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
    MemberIterator end() const { return {object, object.keys_.size()}; }
  };
  // Range-for over the members of an object, in order: `auto [key, value]`.
  Members items() const { return {*this}; }

  // Numbers equal by value whatever their kind; members compared in order.
  friend bool operator==(const Json& a, const Json& b);

 private:
  Type type_ = Type::kNull;
  union {
    bool bool_;
    int64_t integer_;
    uint64_t unsigned_;
    double real_ = 0;
  };
  std::string text_;
  std::vector<Json> values_;       // array elements, or object member values
  std::vector<std::string> keys_;  // object member names
};

}  // namespace vant::cli
