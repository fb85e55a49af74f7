#include "halden/server/Timers.h"

#include <gtest/gtest.h>

#include <QThread>
#include <atomic>
#include <memory>
#include <thread>

#include "Wait.h"

namespace {

struct TActiveCase {
  const char* Name;
  int Interval;
  bool Enabled;
  bool Handler;
  bool Active;
};
void PrintTo(const TActiveCase& Case, std::ostream* Out) {
  *Out << Case.Name;
}

class TimerActiveTest : public ::testing::TestWithParam<TActiveCase> {};

// Active, and armed, exactly when the interval is above 0, the timer is
// enabled and has a handler; the three may be set in any order.
TEST_P(TimerActiveTest, ArmedExactlyWhenIntervalEnabledAndHandler) {
  const TActiveCase& c = GetParam();
  for (int order = 0; order < 2; ++order) {
    TTimer timer;
    EXPECT_FALSE(timer.Enabled());
    EXPECT_EQ(timer.Interval(), 1000);
    if (order == 0) {
      timer.SetInterval(c.Interval);
      timer.SetEnabled(c.Enabled);
      if (c.Handler) timer.SetOnTimer([] {});
    } else {
      if (c.Handler) timer.SetOnTimer([] {});
      timer.SetEnabled(c.Enabled);
      timer.SetInterval(c.Interval);
    }
    EXPECT_EQ(timer.Active(), c.Active);
    EXPECT_EQ(timer.Armed(), c.Active);
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, TimerActiveTest,
                         ::testing::Values(TActiveCase{"AllSet", 50, true, true, true},
                                           TActiveCase{"ZeroInterval", 0, true, true, false},
                                           TActiveCase{"NegativeInterval", -5, true, true, false},
                                           TActiveCase{"Disabled", 50, false, true, false},
                                           TActiveCase{"NoHandler", 50, true, false, false}),
                         [](const auto& Info) { return std::string(Info.param.Name); });

TEST(TimerTest, FiresRepeatedlyOnTheMainThreadUntilDisabled) {
  TTimer timer;
  std::atomic<int> fired{0};
  std::atomic<bool> onMain{true};
  QThread* mainThread = QThread::currentThread();
  timer.SetInterval(5);
  timer.SetOnTimer([&] {
    if (QThread::currentThread() != mainThread) onMain = false;
    ++fired;
  });
  timer.SetEnabled(true);
  EXPECT_TRUE(WaitFor([&] { return fired >= 3; }));
  EXPECT_TRUE(onMain);

  timer.SetEnabled(false);
  EXPECT_FALSE(timer.Armed());
  const int before = fired;
  QCoreApplication::processEvents();
  EXPECT_EQ(fired, before);
}

// Switched on and off from another thread, the timer still fires on the main
// thread, and the change takes effect once the main thread carries it out.
TEST(TimerTest, SwitchedFromAnotherThreadFiresOnTheMainThread) {
  TTimer timer;
  std::atomic<int> fired{0};
  std::atomic<bool> onMain{true};
  QThread* mainThread = QThread::currentThread();
  timer.SetInterval(5);
  timer.SetOnTimer([&] {
    if (QThread::currentThread() != mainThread) onMain = false;
    ++fired;
  });

  std::thread([&] { timer.SetEnabled(true); }).join();
  EXPECT_TRUE(timer.Active());
  EXPECT_TRUE(WaitFor([&] { return fired >= 2; }));
  EXPECT_TRUE(onMain);

  std::thread([&] { timer.SetEnabled(false); }).join();
  EXPECT_TRUE(WaitFor([&] { return !timer.Armed(); }));
}

// A timer created, started and destroyed on another thread leaves nothing
// behind and never runs its handler after it is gone.
TEST(TimerTest, DestroyedOnAnotherThreadStopsForGood) {
  std::atomic<int> fired{0};
  std::thread([&] {
    TTimer timer;
    timer.SetInterval(1);
    timer.SetOnTimer([&] { ++fired; });
    timer.SetEnabled(true);
  }).join();
  // Let the posted start and stop run; the handler belonged to a dead timer.
  for (int i = 0; i < 20; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
  EXPECT_EQ(fired, 0);
}

// The handler may free its own timer, even the last one of the process.
TEST(TimerTest, HandlerMayDestroyItsOwnTimer) {
  auto timer = std::make_unique<TTimer>();
  bool fired = false;
  timer->SetInterval(1);
  timer->SetOnTimer([&] {
    fired = true;
    timer.reset();
  });
  timer->SetEnabled(true);
  EXPECT_TRUE(WaitFor([&] { return fired; }));
  EXPECT_EQ(timer, nullptr);
  QCoreApplication::processEvents();
}

TEST(TimerTest, IdentifiersAreDistinctAndTheListFollowsTheTimers) {
  auto first = std::make_unique<TTimer>();
  auto second = std::make_unique<TTimer>();
  EXPECT_GT(first->ID(), 0);
  EXPECT_NE(first->ID(), second->ID());
  std::weak_ptr<TTimers> list = TTimers::Instance();
  EXPECT_EQ(list.lock()->Count(), 2);
  first.reset();
  second.reset();
  EXPECT_TRUE(list.expired());
}

}  // namespace
