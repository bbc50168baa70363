// The MBIM transport on one end of a socketpair: against the emulator in
// MBIM mode (both sides cutting their messages into 64-byte fragments), and
// against a peer that answers as scripted, for the handshake's failures.
#include "daemon/mbim_transport.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <thread>

#include "daemon/fd_link.h"
#include "daemon/sysfs_source.h"
#include "qmux/ctl.h"
#include "qmux/mbim_receiver.h"
#include "sim/emulator.h"
#include "sim/scenario.h"
#include "tests/support/time_scale.h"

namespace vant::daemon {
namespace {

namespace mbim = qmux::mbim;
using namespace std::chrono_literals;
using Clock = ModemTransport::Clock;

struct Pair {
  UniqueFd host, modem;
  Pair() {
    int fds[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) == 0) {
      host.reset(fds[0]);
      modem.reset(fds[1]);
    }
  }
};

std::unique_ptr<MbimTransport> transport_on(UniqueFd fd, const std::string& node) {
  return std::make_unique<MbimTransport>(
      std::make_unique<SocketpairLink>(std::move(fd), node, LinkProtocol::mbim), 64);
}

// Reads what the modem sends until done says so or two seconds pass.
template <class Done>
bool pump(MbimTransport& t, TransportInput& in, Done done) {
  const auto until = Clock::now() + vant::test::scaled(2s);
  while (!done() && in.lost.empty() && Clock::now() < until) {
    pollfd p{t.link().fd(), POLLIN, 0};
    if (poll(&p, 1, 50) > 0) t.on_readable(p.revents, Clock::now(), in);
    if (t.wants_write()) t.on_writable(in);
  }
  return done();
}

// The emulator serving MBIM on its end, on a thread of its own.
class EmulatedMbimModem : public ::testing::Test {
 protected:
  void serve(bool offers_qmi) {
    thread_ = std::thread([this, offers_qmi] {
      emulator_.serve(pair_.modem.get(), sim::MbimSettings{offers_qmi, 64});
    });
  }
  void TearDown() override {
    emulator_.stop();
    if (thread_.joinable()) thread_.join();
  }

  Pair pair_;
  sim::Emulator emulator_{sim::default_scenario()};
  std::thread thread_;
};

qmux::Frame dms_request(uint8_t client, uint16_t transaction, uint16_t message) {
  qmux::Frame f;
  f.service = 0x02;
  f.client_id = client;
  f.transaction = transaction;
  f.message_id = message;
  // A TLV the modem steps over, so that the request needs fragments.
  f.tlvs = {0x10, 40, 0};
  f.tlvs.resize(43, 0xAA);
  return f;
}

TEST_F(EmulatedMbimModem, CarriesQmuxFramesBothWaysInFragments) {
  serve(true);
  auto t = transport_on(std::move(pair_.host), "test-modem");
  TransportInput in;
  t->start(Clock::now(), in);
  ASSERT_TRUE(pump(*t, in, [&] { return in.became_ready; })) << in.lost;

  ASSERT_TRUE(t->send(qmux::ctl::allocate_client_id_request(1, 0x02), in));
  ASSERT_TRUE(pump(*t, in, [&] { return !in.frames.empty(); })) << in.lost;
  const auto allocated = qmux::ctl::parse_allocate_client_id_response(in.frames[0]);
  ASSERT_TRUE(allocated);
  in.frames.clear();

  // The model (0x0022) with a 43-byte TLV: a 62-byte frame in two fragments.
  ASSERT_TRUE(t->send(dms_request(allocated->client_id, 7, 0x0022), in));
  ASSERT_TRUE(pump(*t, in, [&] { return !in.frames.empty(); })) << in.lost;
  const qmux::Frame& answer = in.frames[0];
  EXPECT_EQ(7, answer.transaction);
  EXPECT_EQ(qmux::MessageKind::response, answer.kind);
  const std::string model = emulator_.identity().model;
  const std::string tlvs(answer.tlvs.begin(), answer.tlvs.end());
  EXPECT_NE(std::string::npos, tlvs.find(model)) << "the answer came whole";
}

TEST_F(EmulatedMbimModem, AModemWithoutTheQmiServiceIsRefusedByName) {
  serve(false);
  auto t = transport_on(std::move(pair_.host), "/dev/cdc-wdm7");
  TransportInput in;
  t->start(Clock::now(), in);
  EXPECT_FALSE(pump(*t, in, [&] { return in.became_ready; }));
  EXPECT_NE(std::string::npos, in.lost.find("/dev/cdc-wdm7 does not offer QMI through MBIM"))
      << in.lost;
  // The source leaves the node alone a while rather than open it again.
  SysfsSource source(ModemSelector{ModemSelector::Kind::node, 0, "/dev/cdc-wdm7"}, "/nonexistent");
  std::string why;
  EXPECT_FALSE(source.open(why));
  EXPECT_EQ(in.lost, why);
}

// What the transport wrote, as messages.
std::vector<mbim::Message> sent(int fd) {
  mbim::Receiver r;
  uint8_t bytes[4096];
  std::vector<mbim::Message> out;
  pollfd p{fd, POLLIN, 0};
  while (poll(&p, 1, 100) > 0) {
    const ssize_t n = read(fd, bytes, sizeof bytes);
    if (n <= 0) break;
    r.feed(std::span<const uint8_t>(bytes, static_cast<size_t>(n)), {});
    while (auto got = r.next({})) out.push_back(got->message);
  }
  return out;
}

mbim::Message with_status(mbim::Type type, uint32_t transaction, uint32_t status) {
  mbim::Message m;
  m.type = type;
  m.transaction = transaction;
  m.status = status;
  return m;
}

void answer(int fd, const mbim::Message& m) {
  for (const auto& bytes : mbim::encode(m, 4096))
    ASSERT_EQ(static_cast<ssize_t>(bytes.size()), write(fd, bytes.data(), bytes.size()));
}

TEST(MbimTransport, ANodeThatCannotTellItsTransferSizeGetsMbimsUsual) {
  Pair pair;
  const MbimTransport t(
      std::make_unique<SocketpairLink>(std::move(pair.host), "socket", LinkProtocol::mbim));
  EXPECT_EQ(mbim::kDefaultControlTransfer, t.max_transfer());
}

TEST(MbimTransport, TheHandshakeFailsOnARefusalOrSilence) {
  const struct {
    const char* what;
    std::optional<uint32_t> open_status;  // nothing: no answer at all
    const char* lost;
  } cases[] = {
      {"refused", mbim::kStatusFailure, "the modem refused MBIM OPEN (status 2)"},
      {"silent", std::nullopt, "no answer to MBIM OPEN"},
  };
  for (const auto& c : cases) {
    Pair pair;
    auto t = transport_on(std::move(pair.host), "test-modem");
    TransportInput in;
    const auto t0 = Clock::now();
    t->start(t0, in);
    const auto open = sent(pair.modem.get());
    ASSERT_EQ(1u, open.size()) << c.what;
    EXPECT_EQ(mbim::Type::open, open[0].type);
    EXPECT_EQ(64u, open[0].max_control_transfer);
    if (c.open_status) {
      answer(pair.modem.get(),
             with_status(mbim::Type::open_done, open[0].transaction, *c.open_status));
      pump(*t, in, [&] { return !in.lost.empty(); });
    } else {
      ASSERT_EQ(t0 + MbimTransport::kHandshakeTimeout, t->deadline());
      t->on_timer(t0 + MbimTransport::kHandshakeTimeout, in);
    }
    EXPECT_EQ(c.lost, in.lost) << c.what;
  }
}

TEST(MbimTransport, ClosesWhatItOpenedAndStartsAgainWhenTheModemForgotIt) {
  Pair pair;
  auto t = transport_on(std::move(pair.host), "test-modem");
  TransportInput in;
  t->start(Clock::now(), in);
  const auto open = sent(pair.modem.get());
  ASSERT_EQ(1u, open.size());
  // A modem that restarted says so to whatever comes next.
  answer(pair.modem.get(), with_status(mbim::Type::function_error, 9,
                                       static_cast<uint32_t>(mbim::ProtocolError::not_opened)));
  pump(*t, in, [&] { return !in.lost.empty(); });
  EXPECT_EQ("the modem says MBIM is not open (it restarted)", in.lost);
  t->close();
  const auto goodbye = sent(pair.modem.get());
  ASSERT_EQ(1u, goodbye.size());
  EXPECT_EQ(mbim::Type::close, goodbye[0].type);
}

}  // namespace
}  // namespace vant::daemon
