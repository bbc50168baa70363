// Runs a printer on a memory stream and returns what it wrote.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

namespace vant::test {

template <typename Print>
std::string capture(Print print) {
  char* data = nullptr;
  size_t size = 0;
  FILE* out = open_memstream(&data, &size);
  if (out == nullptr) return "<open_memstream failed>";
  print(out);
  std::fclose(out);
  std::string text(data, size);
  std::free(data);
  return text;
}

}  // namespace vant::test
