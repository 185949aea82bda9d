// Where the console listens: a wrong reading of --listen could open it to
// the network or fail to.
#include "console/server.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace q6::console {
namespace {

struct ListenCase {
  const char* text;
  const char* host;  // nullptr: refused
  int port;
};

class ListenTest : public ::testing::TestWithParam<ListenCase> {};

TEST_P(ListenTest, ReadsAddressAndPort) {
  const ListenCase& c = GetParam();
  ServeOptions opt;
  if (!c.host) {
    EXPECT_THROW(ParseListen(c.text, opt), std::invalid_argument);
    EXPECT_EQ(opt.host, "127.0.0.1");  // left as it was
    return;
  }
  ParseListen(c.text, opt);
  EXPECT_EQ(opt.host, c.host);
  EXPECT_EQ(opt.port, c.port);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ListenTest,
    ::testing::Values(ListenCase{"127.0.0.1:8080", "127.0.0.1", 8080},
                      ListenCase{":9000", "127.0.0.1", 9000},  // no address: this machine only
                      ListenCase{"0.0.0.0:80", "0.0.0.0", 80}, ListenCase{"[::1]:0", "::1", 0},
                      ListenCase{"8080", nullptr, 0}, ListenCase{"host:", nullptr, 0},
                      ListenCase{"host:65536", nullptr, 0}, ListenCase{"host:-1", nullptr, 0},
                      ListenCase{"host:80x", nullptr, 0}));

}  // namespace
}  // namespace q6::console
