// The channel-lock commands: their exact console output and the records they
// hand to the request functions.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "src/commands.h"
#include "src/commands/command_handlers.h"
#include "tests/commands/capture.h"
#include "vantsdk/nas.h"

namespace vant::test {
namespace {

// What one set request carried.
struct Sent {
  std::optional<WcdmaUarfcnLock> wcdma;
  std::optional<LteEarfcnLock> earfcn;
  std::optional<LtePciLock> pci;
};

std::vector<Sent> g_sent;
std::vector<uint32_t> g_results;  // returned by the fake requests, in turn

uint32_t next_result() {
  if (g_results.empty()) return 0;
  const uint32_t r = g_results.front();
  g_results.erase(g_results.begin());
  return r;
}

uint32_t fake_set(ChannelLock* lock) {
  Sent s;
  if (lock->wcdmaUarfcn) s.wcdma = *lock->wcdmaUarfcn;
  if (lock->lteEarfcn) s.earfcn = *lock->lteEarfcn;
  if (lock->ltePci) s.pci = *lock->ltePci;
  g_sent.push_back(s);
  return next_result();
}

// A modem that reports a WCDMA lock and a PCI element but no LTE EARFCN pair
// (the request leaves that element at its preset).
uint32_t fake_get(ChannelLock* lock) {
  const uint32_t result = next_result();
  if (result != 0) return result;
  *lock->wcdmaUarfcn = {1, 10700};
  *lock->lteEarfcn = {0xFF, 0xFFFFFFFF, 0xFFFFFFFF};
  *lock->ltePci = {0, 6300, 42};
  return 0;
}

const std::string kUsage =
    "valid channel lock parameters are:\n"
    "\tWcdmaUARFCN,<uarfcn_number>\n"
    "\tLteEARFCN,<earfcn0_number>,<earfcn1_number>\n"
    "\tLtePCI,<earfcn_number>,<pci_number>\n";

class ChanLockCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    g_sent.clear();
    g_results.clear();
  }
};

TEST_F(ChanLockCommands, GetPrintsEveryElement) {
  EXPECT_EQ(
      "VANTNASKelGetChannelLock returns 0\n"
      "\nWCDMA UARFCN:\nStatus: 0x01\nUARFCN: 10700\n"
      "\nLTE EARFCN:\nStatus: 0xFF\nEARFCN Primary: 4294967295\nEARFCN Secondary: 4294967295\n"
      "\nLTE PCI:\nStatus: 0x00\nEARFCN: 6300\nPCI: 42\n",
      capture([](FILE* out) { get_chan_lock(out, fake_get); }));
}

TEST_F(ChanLockCommands, FailedGetPrintsOnlyItsCode) {
  g_results = {0xE004};
  EXPECT_EQ("VANTNASKelGetChannelLock returns 57348\n",
            capture([](FILE* out) { get_chan_lock(out, fake_get); }));
}

struct SetCase {
  const char* text;  // nullptr: no text at all
  std::string output;
  std::optional<Sent> sent;  // nothing when only the usage is printed
};

std::string wcdma_block(uint32_t status, const std::string& value) {
  return "\nWCDMA UARFCN\nWCDMA UARFCN Status: " + std::to_string(status) +
         "\nWCDMA UARFCN Value: " + value + "\n";
}
std::string earfcn_block(uint32_t status, uint32_t e0, uint32_t e1) {
  return "\nLTE EARFCN\nLTE EARFCN Status: " + std::to_string(status) +
         "\nLTE Primary EARFCN Value: " + std::to_string(e0) +
         "\nLTE Secondary EARFCN Value: " + std::to_string(e1) + "\n";
}
std::string pci_block(uint32_t status, uint32_t earfcn, uint32_t pci) {
  return "\nLTE PCI\nLTE PCI Status: " + std::to_string(status) +
         "\nLTE EARFCN Value: " + std::to_string(earfcn) +
         "\nLTE PCI Value: " + std::to_string(pci) + "\n";
}
const std::string kSetReturns = "VANTNASKelSetChannelLock returns 0\n";

std::vector<SetCase> set_cases() {
  const std::string wcdma10 =
      "WcdmaUARFCN with uarfcn = 10\nParameter Set:" + wcdma_block(1, "10") + kSetReturns;
  const Sent sent_wcdma10{WcdmaUarfcnLock{1, 10}, {}, {}};
  return {
      {nullptr, kUsage, {}},
      {"", kUsage, {}},
      {",,,", kUsage, {}},
      {"WcdmaUARFCN", kUsage, {}},
      {"WcdmaUARFCN,0", kUsage, {}},
      {"WcdmaUARFCN,abc", kUsage, {}},
      {"wcdmauarfcn,10", kUsage, {}},
      {"Wcdma,10", kUsage, {}},
      {"WcdmaUARFCN,10", wcdma10, sent_wcdma10},
      {"WcdmaUARFCN,,10", wcdma10, sent_wcdma10},
      {"WcdmaUARFCN,10,20", wcdma10, sent_wcdma10},
      {"WcdmaUARFCNx,10", wcdma10, sent_wcdma10},
      {",WcdmaUARFCN, 10", wcdma10, sent_wcdma10},
      {"WcdmaUARFCN,-5",
       "WcdmaUARFCN with uarfcn = -5\nParameter Set:" + wcdma_block(1, "4294967291") + kSetReturns,
       Sent{WcdmaUarfcnLock{1, 4294967291u}, {}, {}}},
      {"WcdmaUARFCN,4294967295",
       "WcdmaUARFCN with uarfcn = -1\nParameter Set:" + wcdma_block(1, "4294967295") + kSetReturns,
       Sent{WcdmaUarfcnLock{1, 4294967295u}, {}, {}}},
      {"LteEARFCN,100,0",
       "LteEARFCN with earfcn0 = 100 earfcn1 = 0\nParameter Set:" + wcdma_block(0, "0") +
           earfcn_block(1, 100, 0) + kSetReturns,
       Sent{WcdmaUarfcnLock{0, 0}, LteEarfcnLock{1, 100, 0}, {}}},
      {"LteEARFCN,0,100", kUsage, {}},
      {"LteEARFCN,100", kUsage, {}},
      {"LtePCI,100,0", kUsage, {}},
      {"LtePCI,0,7", kUsage, {}},
      {"LtePCI,100,7",
       "LteEARFCN with earfcn = 100 pci = 7\nParameter Set:" + earfcn_block(0, 0, 0) +
           pci_block(1, 100, 7) + kSetReturns,
       Sent{{}, LteEarfcnLock{0, 0, 0}, LtePciLock{1, 100, 7}}},
  };
}

bool same(const Sent& a, const Sent& b) {
  const auto eq_w = [](const WcdmaUarfcnLock& x, const WcdmaUarfcnLock& y) {
    return x.status == y.status && x.uarfcn == y.uarfcn;
  };
  const auto eq_e = [](const LteEarfcnLock& x, const LteEarfcnLock& y) {
    return x.status == y.status && x.earfcn0 == y.earfcn0 && x.earfcn1 == y.earfcn1;
  };
  const auto eq_p = [](const LtePciLock& x, const LtePciLock& y) {
    return x.status == y.status && x.earfcn == y.earfcn && x.pci == y.pci;
  };
  return a.wcdma.has_value() == b.wcdma.has_value() &&
         a.earfcn.has_value() == b.earfcn.has_value() && a.pci.has_value() == b.pci.has_value() &&
         (!a.wcdma || eq_w(*a.wcdma, *b.wcdma)) && (!a.earfcn || eq_e(*a.earfcn, *b.earfcn)) &&
         (!a.pci || eq_p(*a.pci, *b.pci));
}

TEST_F(ChanLockCommands, SetAcceptsExactlyTheThreeForms) {
  for (const SetCase& c : set_cases()) {
    g_sent.clear();
    std::string text = c.text != nullptr ? c.text : "";
    char* argument = c.text != nullptr ? text.data() : nullptr;
    const std::string output = capture([&](FILE* out) { set_chan_lock(out, argument, fake_set); });
    const char* name = c.text != nullptr ? c.text : "(null)";
    EXPECT_EQ(c.output, output) << name;
    ASSERT_EQ(c.sent.has_value() ? 1u : 0u, g_sent.size()) << name;
    if (c.sent) {
      EXPECT_TRUE(same(*c.sent, g_sent[0])) << name;
    }
  }
}

TEST_F(ChanLockCommands, FailedSetPrintsBlockAndCode) {
  g_results = {1003};
  char text[] = "WcdmaUARFCN,10";
  EXPECT_EQ("WcdmaUARFCN with uarfcn = 10\nParameter Set:" + wcdma_block(1, "10") +
                "VANTNASKelSetChannelLock returns 1003\n",
            capture([&](FILE* out) { set_chan_lock(out, text, fake_set); }));
}

TEST_F(ChanLockCommands, ResetLocksThenUnlocksAllThreeEvenAfterAFailure) {
  g_results = {1003, 0};
  EXPECT_EQ("Parameter Set:" + wcdma_block(1, "0") + earfcn_block(1, 0, 0) + pci_block(1, 0, 0) +
                "Return Code: 1003\nReturn Reason: Unexpected error occurred during processing\n"
                "Return Code: 0\nReturn Reason: Success\n",
            capture([](FILE* out) { reset_chan_lock(out, fake_set); }));
  ASSERT_EQ(2u, g_sent.size());
  EXPECT_TRUE(
      same(Sent{WcdmaUarfcnLock{1, 0}, LteEarfcnLock{1, 0, 0}, LtePciLock{1, 0, 0}}, g_sent[0]));
  EXPECT_TRUE(
      same(Sent{WcdmaUarfcnLock{0, 0}, LteEarfcnLock{0, 0, 0}, LtePciLock{0, 0, 0}}, g_sent[1]));
}

TEST(PrintReturnCode, ReasonOnlyForCodesWithAText) {
  const std::pair<uint32_t, std::string> cases[] = {
      {0, "Return Code: 0\nReturn Reason: Success\n"},
      {0xE004, "Return Code: 57348\nReturn Reason: SDK timed out\n"},
      {1016,
       "Return Code: 1016\nReturn Reason: Requested information element not provisioned "
       "on device\n"},
      {0xE000, "Return Code: 57344\n"},
      {0xE800, "Return Code: 59392\n"},
      {0xE80D, "Return Code: 59405\n"},
      {4294967295u, "Return Code: 4294967295\n"},
  };
  for (const auto& [code, text] : cases)
    EXPECT_EQ(text, capture([&](FILE* out) { PrintReturnCode(out, code); })) << code;
}

}  // namespace
}  // namespace vant::test
