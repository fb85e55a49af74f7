// Calls of one instance are serialised: several threads calling one instance
// never run inside it at the same time, and a held lock keeps a sequence of
// accesses together.

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "driver/ResultCodes.h"
#include "driver/StoredDriver.h"

namespace {

// Counts calls in a property with a deliberately unguarded read-modify-write,
// and notes any call that starts while another one runs.
class TCountingDriver : public TStoredDriver {
 public:
  std::atomic<int> Inside{0};
  std::atomic<int> Overlaps{0};

 private:
  int DoCall(TMethodId Id) override {
    if (Inside.fetch_add(1) != 0) ++Overlaps;
    if (Id == TMethodId::ReadTable) {
      // Answers the requested table number, as a device would.
      Store(TPropertyId::ValueOfFieldInteger, Stored(TPropertyId::TableNumber).toInt());
    } else {
      const int Count = Stored(TPropertyId::RecordCount).toInt();
      std::this_thread::yield();
      Store(TPropertyId::RecordCount, Count + 1);
    }
    Inside.fetch_sub(1);
    return Finish(kResultOk, QString());
  }
};

constexpr int kThreads = 8;
constexpr int kCallsPerThread = 500;

TEST(Serialisation, ConcurrentCallsNeverOverlap) {
  TCountingDriver Driver;
  std::vector<std::thread> Threads;
  for (int T = 0; T < kThreads; ++T) {
    Threads.emplace_back([&Driver] {
      for (int I = 0; I < kCallsPerThread; ++I) {
        Driver.GetECRStatus();
        Driver.SetPassword(30);
        (void)Driver.ResultCode();
      }
    });
  }
  for (auto& Thread : Threads) Thread.join();
  EXPECT_EQ(Driver.Overlaps.load(), 0);
  EXPECT_EQ(Driver.RecordCount(), kThreads * kCallsPerThread);
}

TEST(Serialisation, AHeldLockKeepsASequenceTogether) {
  TCountingDriver Driver;
  std::atomic<int> Mismatches{0};
  std::vector<std::thread> Threads;
  for (int T = 0; T < kThreads; ++T) {
    Threads.emplace_back([&Driver, &Mismatches, T] {
      for (int I = 0; I < kCallsPerThread; ++I) {
        auto Guard = Driver.Lock();
        Driver.SetTableNumber(T);
        std::this_thread::yield();
        if (Driver.ReadTable() != 0 || Driver.ValueOfFieldInteger() != T) ++Mismatches;
      }
    });
  }
  for (auto& Thread : Threads) Thread.join();
  EXPECT_EQ(Mismatches.load(), 0);
  EXPECT_EQ(Driver.Overlaps.load(), 0);
}

}  // namespace
