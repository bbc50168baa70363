// One definition of every kind of object a scenario document holds: its
// fields, what each takes and means, and how it is read. The reader and the
// field reference (vantsim --scenario-fields, docs/scenarios.md,
// vantsim-scenario(5)) both come from these tables, so they cannot disagree.
#pragma once

#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "sim/json_fields.h"

namespace vant::sim::schema {

// What the documentation shows of a field and of an object.
struct FieldDoc {
  std::string name, takes, meaning;
};
struct ObjectDoc {
  std::string name, meaning;
  std::vector<FieldDoc> fields;
};

// An object's schema seen apart from the C++ type it reads into.
class Object {
 public:
  virtual ~Object() = default;
  virtual ObjectDoc doc() const = 0;
  // The objects its fields hold, in field order.
  virtual std::vector<const Object*> children() const = 0;
};

template <class T>
struct Field {
  std::string name;
  std::string takes;
  std::string meaning;
  std::function<void(const Json&, const std::string& path, T&)> read;
  bool required = false;
  const Object* child = nullptr;  // the object (or list item) the field holds
};

template <class T>
class Schema final : public Object {
 public:
  // Checks what the fields cannot check alone, once they are read.
  using Check = std::function<void(const T&, const std::string& path)>;

  Schema(std::string name, std::string meaning, std::vector<Field<T>> fields, Check check = {})
      : name_(std::move(name)),
        meaning_(std::move(meaning)),
        fields_(std::move(fields)),
        check_(std::move(check)) {}

  const std::string& name() const { return name_; }

  // Reads the object into `out`, which keeps whatever the document leaves out.
  // Fields are read in table order; then unknown fields are refused.
  void read(const Json& j, const std::string& path, T& out) const {
    ObjectReader r(j, path);
    for (const auto& f : fields_) {
      if (!r.has(f.name.c_str())) {
        if (f.required) r.require(f.name.c_str());
        continue;
      }
      f.read(r.at(f.name.c_str()), r.path_of(f.name.c_str()), out);
    }
    r.finish();
    if (check_) check_(out, path);
  }
  T read_new(const Json& j, const std::string& path) const {
    T value{};
    read(j, path, value);
    return value;
  }

  ObjectDoc doc() const override {
    ObjectDoc d{name_, meaning_, {}};
    for (const auto& f : fields_)
      d.fields.push_back({f.name, f.required ? f.takes + ", required" : f.takes, f.meaning});
    return d;
  }
  std::vector<const Object*> children() const override {
    std::vector<const Object*> out;
    for (const auto& f : fields_) {
      if (f.child) out.push_back(f.child);
    }
    return out;
  }

 private:
  std::string name_, meaning_;
  std::vector<Field<T>> fields_;
  Check check_;
};

// ---- Field builders ----

template <class M>
struct ValueOf {
  using type = M;
};
template <class M>
struct ValueOf<std::optional<M>> {
  using type = M;
};

template <class I>
struct Bounds {
  I min = std::numeric_limits<I>::min();
  I max = std::numeric_limits<I>::max();
};

template <class I>
std::string integer_takes(Bounds<I> b) {
  return "integer " + std::to_string(b.min) + " to " + std::to_string(b.max);
}

template <class I>
I read_bounded(const Json& j, const std::string& path, Bounds<I> b) {
  const I v = read_integer<I>(j, path);
  if (v < b.min || v > b.max)
    throw FieldError(path, "expected an integer from " + std::to_string(b.min) + " to " +
                               std::to_string(b.max) + ", got " + describe(j));
  return v;
}

// An integer (or an optional one) of the member's width, within the bounds.
template <class T, class M>
Field<T> integer(std::string name, M T::*member, std::string meaning,
                 Bounds<typename ValueOf<M>::type> b = {}) {
  using I = typename ValueOf<M>::type;
  return {std::move(name), integer_takes(b), std::move(meaning),
          [member, b](const Json& j, const std::string& path, T& out) {
            out.*member = read_bounded<I>(j, path, b);
          }};
}

template <class T, class M>
Field<T> required_integer(std::string name, M T::*member, std::string meaning,
                          Bounds<typename ValueOf<M>::type> b = {}) {
  Field<T> f = integer(std::move(name), member, std::move(meaning), b);
  f.required = true;
  return f;
}

// An optional integer that null leaves out.
template <class T, class I>
Field<T> nullable_integer(std::string name, std::optional<I> T::*member, std::string meaning) {
  return {std::move(name), integer_takes(Bounds<I>{}) + ", or null", std::move(meaning),
          [member](const Json& j, const std::string& path, T& out) {
            if (j.is_null()) {
              (out.*member).reset();
            } else {
              out.*member = read_integer<I>(j, path);
            }
          }};
}

template <class T>
Field<T> boolean(std::string name, bool T::*member, std::string meaning) {
  return {std::move(name), "true or false", std::move(meaning),
          [member](const Json& j, const std::string& path, T& out) {
            out.*member = read_bool(j, path);
          }};
}

template <class T>
Field<T> text(std::string name, std::string T::*member, std::string meaning,
              size_t max_size = std::string().max_size()) {
  const bool bounded = max_size != std::string().max_size();
  return {std::move(name),
          bounded ? "text of at most " + std::to_string(max_size) + " bytes" : "text",
          std::move(meaning), [member, max_size](const Json& j, const std::string& path, T& out) {
            std::string value = read_string(j, path);
            if (value.size() > max_size)
              throw FieldError(path, "at most " + std::to_string(max_size) + " characters allowed");
            out.*member = std::move(value);
          }};
}

// Any other field: its reader and what it takes.
template <class T, class F>
Field<T> custom(std::string name, std::string takes, std::string meaning, F read,
                const Object* child = nullptr) {
  return {std::move(name), std::move(takes), std::move(meaning), std::move(read), false, child};
}

// An object member that the document's object replaces whole: the fields it
// leaves out take their defaults, not the member's old values.
template <class T, class U>
Field<T> object(std::string name, U T::*member, const Schema<U>& s, std::string meaning) {
  return {std::move(name),
          "object " + s.name(),
          std::move(meaning),
          [member, &s](const Json& j, const std::string& path, T& out) {
            out.*member = s.read_new(j, path);
          },
          false,
          &s};
}

// An optional object, replaced whole; null removes it.
template <class T, class U>
Field<T> nullable_object(std::string name, std::optional<U> T::*member, const Schema<U>& s,
                         std::string meaning) {
  return {std::move(name),
          "object " + s.name() + ", or null",
          std::move(meaning),
          [member, &s](const Json& j, const std::string& path, T& out) {
            if (j.is_null()) {
              (out.*member).reset();
            } else {
              out.*member = s.read_new(j, path);
            }
          },
          false,
          &s};
}

// An optional object, replaced whole (null is not allowed).
template <class T, class U>
Field<T> optional_object(std::string name, std::optional<U> T::*member, const Schema<U>& s,
                         std::string meaning) {
  return {std::move(name),
          "object " + s.name(),
          std::move(meaning),
          [member, &s](const Json& j, const std::string& path, T& out) {
            out.*member = s.read_new(j, path);
          },
          false,
          &s};
}

// An object member whose fields the document changes one by one: what it
// leaves out stays as it was (the base's).
template <class T, class U>
Field<T> merged_object(std::string name, U T::*member, const Schema<U>& s, std::string meaning) {
  return {std::move(name),
          "object " + s.name(),
          std::move(meaning),
          [member, &s](const Json& j, const std::string& path, T& out) {
            s.read(j, path, out.*member);
          },
          false,
          &s};
}

inline std::string list_takes(const std::string& item, size_t max_items) {
  return "list of " + item + ", at most " + std::to_string(max_items);
}

template <class U>
std::vector<U> read_list(const Json& j, const std::string& path, size_t max_items,
                         const std::function<U(const Json&, const std::string&)>& read_item) {
  if (!j.is_array()) throw FieldError(path, "expected a list, got " + describe(j));
  if (j.size() > max_items)
    throw FieldError(path, "at most " + std::to_string(max_items) + " entries allowed, got " +
                               std::to_string(j.size()));
  std::vector<U> out;
  out.reserve(j.size());
  for (size_t i = 0; i < j.size(); ++i)
    out.push_back(read_item(j[i], path + "[" + std::to_string(i) + "]"));
  return out;
}

// A list of objects, replacing the member's whole list.
template <class T, class U>
Field<T> list(std::string name, std::vector<U> T::*member, const Schema<U>& s, std::string meaning,
              size_t max_items = 255) {
  return {std::move(name),
          list_takes("object " + s.name(), max_items),
          std::move(meaning),
          [member, &s, max_items](const Json& j, const std::string& path, T& out) {
            out.*member = read_list<U>(
                j, path, max_items,
                [&s](const Json& v, const std::string& p) { return s.read_new(v, p); });
          },
          false,
          &s};
}

// The same for a list that may be absent altogether.
template <class T, class U>
Field<T> optional_list(std::string name, std::optional<std::vector<U>> T::*member,
                       const Schema<U>& s, std::string meaning, size_t max_items = 255) {
  return {std::move(name),
          list_takes("object " + s.name(), max_items),
          std::move(meaning),
          [member, &s, max_items](const Json& j, const std::string& path, T& out) {
            out.*member = read_list<U>(
                j, path, max_items,
                [&s](const Json& v, const std::string& p) { return s.read_new(v, p); });
          },
          false,
          &s};
}

// A list of integers within the bounds.
template <class T, class I>
Field<T> integer_list(std::string name, std::vector<I> T::*member, std::string meaning, Bounds<I> b,
                      size_t max_items) {
  const std::string takes = "integers " + std::to_string(b.min) + " to " + std::to_string(b.max);
  return {std::move(name), list_takes(takes, max_items), std::move(meaning),
          [member, b, max_items](const Json& j, const std::string& path, T& out) {
            out.*member = read_list<I>(
                j, path, max_items,
                [b](const Json& v, const std::string& p) { return read_bounded<I>(v, p, b); });
          }};
}

// ---- The reference ----

// Every object reachable from the top one, each once, depth first in field order.
std::vector<ObjectDoc> collect(const Object& top);

enum class Format : uint8_t { text, markdown, roff };
std::string render(const std::vector<ObjectDoc>& objects, Format format);

}  // namespace vant::sim::schema
