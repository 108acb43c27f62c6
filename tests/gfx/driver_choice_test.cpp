// Which driver a screen gets: the passes over the driver list, a name that
// narrows them, the first successful init, and the Null driver.
#include <string>
#include <vector>

#include "gfx_fixture.hpp"

namespace {

// Driver choice over a list of recording drivers.
struct Attempt {
  std::string driver;
  int32_t refresh, flags;
  bool operator==(const Attempt&) const = default;
};
std::vector<std::string> calls;
std::vector<Attempt> attempts;
int succeed_at = -1;  // attempt number that succeeds

int try_init(const char* name, int32_t refresh, int32_t flags) {
  attempts.push_back({name, refresh, flags});
  calls.push_back(std::string("init ") + name);
  return int(attempts.size()) - 1 == succeed_at ? 0 : -1;
}
int init_a(const char*, int32_t, int32_t, int32_t, int32_t r, int32_t f) {
  return try_init("A", r, f);
}
int init_b(const char*, int32_t, int32_t, int32_t, int32_t r, int32_t f) {
  return try_init("B", r, f);
}
void exit_a() { calls.push_back("exit A"); }
void exit_b() { calls.push_back("exit B"); }
// A driver with only init and exit; the other operations stay empty.
DisplayDriver recording_driver(const char* name, decltype(DisplayDriver::init) init,
                               decltype(DisplayDriver::exit) exit) {
  DisplayDriver driver{};
  driver.name = name;
  driver.init = init;
  driver.exit = exit;
  return driver;
}
const DisplayDriver driver_a = recording_driver("A", init_a, exit_a);
const DisplayDriver driver_b = recording_driver("B", init_b, exit_b);
const DisplayDriver* const two_drivers[] = {&driver_a, &driver_b, nullptr};

class DriverChoice : public ::testing::Test {
 protected:
  void SetUp() override {
    calls.clear();
    attempts.clear();
    succeed_at = -1;
  }
  const DisplayDriver* choose(const char* name, int32_t flags) {
    return driver_select(two_drivers, name, "t", 10, 10, 32, 60, flags);
  }
};

TEST_F(DriverChoice, WithoutANameTwoPassesOverAllWithTheFullScreenBitInverted) {
  EXPECT_EQ(choose(nullptr, SCREEN_FIXED), nullptr);
  const int32_t f = SCREEN_FIXED, g = SCREEN_FIXED | SCREEN_FULLSCREEN;
  std::vector<Attempt> expected = {{"A", 60, f}, {"A", 0, f}, {"B", 60, f}, {"B", 0, f},
                                   {"A", 60, g}, {"A", 0, g}, {"B", 60, g}, {"B", 0, g}};
  EXPECT_EQ(attempts, expected);
  // Every failed init is followed by that driver's exit.
  ASSERT_EQ(calls.size(), 16u);
  for (size_t i = 0; i < calls.size(); i += 2)
    EXPECT_EQ(calls[i + 1], "exit " + calls[i].substr(5));
}

TEST_F(DriverChoice, WithANameEvenPassesTryOnlyThatDriver) {
  EXPECT_EQ(choose("b", SCREEN_FULLSCREEN), nullptr);
  const int32_t f = SCREEN_FULLSCREEN, g = 0;
  std::vector<Attempt> expected = {{"B", 60, f}, {"B", 0, f},                              // pass 4
                                   {"A", 60, f}, {"A", 0, f}, {"B", 60, f}, {"B", 0, f},   // pass 3
                                   {"B", 60, g}, {"B", 0, g},                              // pass 2
                                   {"A", 60, g}, {"A", 0, g}, {"B", 60, g}, {"B", 0, g}};  // pass 1
  EXPECT_EQ(attempts, expected);
}

TEST_F(DriverChoice, TheFirstSuccessfulInitWins) {
  succeed_at = 1;  // A with refresh 0
  EXPECT_EQ(choose(nullptr, 0), &driver_a);
  EXPECT_EQ(calls, (std::vector<std::string>{"init A", "exit A", "init A"}));
}

TEST_F(DriverChoice, NullByNameOrFlags) {
  EXPECT_EQ(choose("NULL", 0), &null_driver);
  EXPECT_EQ(choose("a", SCREEN_NULL), &null_driver);
  EXPECT_TRUE(attempts.empty());
}

}  // namespace
