// vant's JSON: documents built from brace lists, written as the old library
// wrote them (escaping, U+FFFD, every digit of a double), and read back.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <nlohmann/json.hpp>
#include <random>

#include "vant/json_parser.h"
#include "vant/json_writer.h"
#include "vant/pending_change.h"

namespace vant::cli {
namespace {

std::string string_text(std::string_view text) {
  std::string out;
  append_json_string(out, text);
  return out;
}

TEST(JsonWriter, EscapesControlsAndReplacesWhatIsNotUtf8) {
  const std::pair<std::string, std::string> cases[] = {
      {"a\"b\\c/d", R"("a\"b\\c/d")"},
      {"\b\f\n\r\t", R"("\b\f\n\r\t")"},
      {std::string("\x00\x01\x1f\x7f", 4), "\"\\u0000\\u0001\\u001f\x7f\""},
      {"Caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80",
       "\"Caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80\""},
      {"\x80", "\"\xef\xbf\xbd\""},      // a lone continuation byte
      {"\xe2\x82", "\"\xef\xbf\xbd\""},  // cut at the end
      {"\xe2\x82"
       "A",
       "\"\xef\xbf\xbd"
       "A\""},                                                       // cut by a byte of its own
      {"\xc0\xaf", "\"\xef\xbf\xbd\xef\xbf\xbd\""},                  // overlong
      {"\xed\xa0\x80", "\"\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\""},  // a surrogate
      {"\xf4\x90\x80\x80"
       "x",
       "\"\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd"
       "x\""},
      {"\xf0\x9f\x98", "\"\xef\xbf\xbd\""},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(expected, string_text(text)) << text;
}

TEST(JsonWriter, NumbersAsVantPrintsThem) {
  const std::pair<Json, std::string> cases[] = {
      {0.0, "0.0"},
      {-0.0, "-0.0"},
      {1.0, "1.0"},
      {-88.5, "-88.5"},
      {0.1, "0.1"},
      {0.0001, "0.0001"},
      {1e-05, "1e-05"},
      {1e14, "100000000000000.0"},
      {123456789012345.6, "123456789012345.6"},
      {1e15, "1e+15"},
      {1234567890123456.7, "1.2345678901234567e+15"},
      {-1.5e300, "-1.5e+300"},
      {5e-324, "5e-324"},
      {std::numeric_limits<double>::max(), "1.7976931348623157e+308"},
      {std::nan(""), "null"},
      {-std::numeric_limits<double>::infinity(), "null"},
      // Grisu2 does not always give the shortest or nearest digits: as before.
      {2.1714837534513562e+17, "2.1714837534513562e+17"},
      {3.4072999425292986e+25, "3.4072999425292987e+25"},
      {-1, "-1"},
      {std::numeric_limits<int64_t>::min(), "-9223372036854775808"},
      {std::numeric_limits<uint64_t>::max(), "18446744073709551615"},
      {uint8_t{200}, "200"},
  };
  for (const auto& [value, expected] : cases) EXPECT_EQ(expected, write_json(value));
}

TEST(JsonWriter, NestsCompactlyOrIndented) {
  Json cells = Json::array();
  cells.push_back({{"pci", 1}, {"rsrp_dbm", -90.5}});
  cells.push_back(Json::object());
  const Json document{{"cells", cells},
                      {"neighbours", Json::array()},
                      {"serving", {{"name", "x"}, {"tdd", false}, {"band", nullptr}}}};
  EXPECT_EQ(R"({"cells":[{"pci":1,"rsrp_dbm":-90.5},{}],"neighbours":[],)"
            R"("serving":{"name":"x","tdd":false,"band":null}})",
            write_json(document));
  EXPECT_EQ(
      "{\n  \"cells\": [\n    {\n      \"pci\": 1,\n      \"rsrp_dbm\": -90.5\n    },\n"
      "    {}\n  ],\n  \"neighbours\": [],\n  \"serving\": {\n    \"name\": \"x\",\n"
      "    \"tdd\": false,\n    \"band\": null\n  }\n}",
      write_json(document, 2));
}

TEST(JsonValue, MembersKeepTheirPlaceAndNumbersCompareByValue) {
  EXPECT_TRUE(Json({{"a", 1}, {"b", 2}}).is_object());
  EXPECT_EQ(R"({"a":{"b":[1,2]}})", write_json({{"a", {{"b", std::vector<int>{1, 2}}}}}));
  Json object{{"first", 1}, {"second", 2}};
  object.update({{"third", 3}, {"first", "one"}});
  object["second"] = nullptr;
  EXPECT_EQ(R"({"first":"one","second":null,"third":3})", write_json(object));
  const Json nothing;
  EXPECT_TRUE(nothing["missing"].is_null());
  EXPECT_FALSE(object.contains("missing"));
  EXPECT_EQ(Json(3u), Json(3));
  EXPECT_EQ(Json(-88.0), Json(int16_t{-88}));
  EXPECT_NE(Json(-1), Json(std::numeric_limits<uint64_t>::max()));
  EXPECT_NE(Json({{"a", 1}, {"b", 2}}), Json({{"b", 2}, {"a", 1}})) << "members keep their order";
}

TEST(JsonParser, ReadsWhatTheOldLibraryRead) {
  const std::pair<std::string, std::optional<std::string>> cases[] = {
      {" {\"a\" : [1, -2, 3.5e2, true, null, \"\"]}\r\n", R"({"a":[1,-2,350.0,true,null,""]})"},
      {R"("\u00e9\ud83d\ude00\/\n")", "\"\xc3\xa9\xf0\x9f\x98\x80/\\n\""},
      {R"({"k":1,"j":2,"k":3})", R"({"k":3,"j":2})"},
      {"\xef\xbb\xbf[]", "[]"},
      {"-0", "0"},
      {"18446744073709551615", "18446744073709551615"},
      {"18446744073709551616", "1.8446744073709552e+19"},
      {"-9223372036854775809", "-9.223372036854776e+18"},
      {"", std::nullopt},
      {"01", std::nullopt},
      {"1.", std::nullopt},
      {".5", std::nullopt},
      {"+1", std::nullopt},
      {"1e999", std::nullopt},
      {"[1,]", std::nullopt},
      {R"({"a"})", std::nullopt},
      {R"({1:2})", std::nullopt},
      {"[1] x", std::nullopt},
      {"nul", std::nullopt},
      {R"("\ud800")", std::nullopt},
      {R"("\udc00")", std::nullopt},
      {R"("\x")", std::nullopt},
      {"\"\x01\"", std::nullopt},
      {"\"\xc3\"", std::nullopt},
      {"\"abc", std::nullopt},
  };
  for (const auto& [text, expected] : cases) {
    const auto parsed = parse_json(text);
    ASSERT_EQ(expected.has_value(), parsed.has_value()) << text;
    if (parsed) {
      EXPECT_EQ(*expected, write_json(*parsed)) << text;
    }
  }
}

TEST(JsonParser, NestingIsBounded) {
  const auto nested = [](int depth) { return std::string(depth, '[') + std::string(depth, ']'); };
  EXPECT_TRUE(parse_json(nested(kMaxJsonDepth)));
  EXPECT_FALSE(parse_json(nested(kMaxJsonDepth + 1)));
}

TEST(JsonValue, ScalarsReadAsWhatTheCallerAsks) {
  EXPECT_EQ(-3, Json(-3.7).get<int>());
  EXPECT_EQ(5000u, Json(int64_t{5000}).get<unsigned>());
  EXPECT_DOUBLE_EQ(41.0, Json(uint16_t{41}).get<double>());
  EXPECT_TRUE(Json(true).get<bool>());
  EXPECT_FALSE(Json(1).get<bool>()) << "a number is no boolean";
  EXPECT_EQ("", Json(1).get<std::string>());
  EXPECT_EQ(0, Json("7").get<int>()) << "a string is no number";
  Json list;
  list.push_back(1);
  list.push_back(Json::object());
  EXPECT_EQ(2u, list.size());
  EXPECT_TRUE(list[size_t{5}].is_null());
  EXPECT_EQ(1u, Json("x").size());
  EXPECT_TRUE(Json().empty());
  Json copy = list;
  copy.push_back(3);
  EXPECT_EQ(2u, list.size()) << "a copy owns its elements";
}

// The daemon keeps the state a change undoes as the text vant gave it; a text
// of another program stays a string.
TEST(PendingChange, ThePreviousStateIsReadBackAsJsonWhenItIsJson) {
  PendingChangeInfo info{};
  const std::pair<const char*, const char*> cases[] = {
      {R"({"lte":[1,3],"nr5g_sa":null})", R"({"lte":[1,3],"nr5g_sa":null})"},
      {"lock clear", R"("lock clear")"},
      {"{\"cut", R"("{\"cut")"},
  };
  for (const auto& [previous, expected] : cases) {
    std::snprintf(info.previous, sizeof info.previous, "%s", previous);
    EXPECT_EQ(expected, write_json(pending_json(info)["previous"])) << previous;
  }
}

// The documents must read as they did with nlohmann-json, which the
// development build still has: doubles of every magnitude, and texts of
// random bytes.
TEST(JsonWriter, AgreesWithTheOldLibrary) {
  std::mt19937_64 random(20240501);
  for (int i = 0; i < 200000; ++i) {
    const double value =
        i % 2 ? std::bit_cast<double>(random())
              : std::round(std::bit_cast<float>(static_cast<uint32_t>(random())) * 100.0) / 100.0;
    ASSERT_EQ(nlohmann::json(value).dump(), write_json(value)) << value;
  }
  for (int i = 0; i < 20000; ++i) {
    std::string text(random() % 12, ' ');
    for (char& c : text) c = static_cast<char>(random() % 4 ? 0x70 + random() % 0x90 : random());
    ASSERT_EQ(nlohmann::json(text).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace),
              string_text(text));
  }
}

}  // namespace
}  // namespace vant::cli
