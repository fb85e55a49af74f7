// Progress arithmetic and outcome of a task's state, on a clock of the test.

#include <gtest/gtest.h>

#include "kestrel/framework/KestrelError.h"
#include "kestrel/framework/WorkThread.h"

namespace {

struct TClock {
  qint64 Now = 1000;
  TTickSource Source() {
    return [this] { return Now; };
  }
};

TEST(TaskStateTest, PercentsAndRemainingTime) {
  struct TCase {
    int Count, Done;
    qint64 Elapsed;
    int Percents;
    qint64 Remain;
  };
  const TCase Cases[] = {
      {2, 1, 3000, 50, 3000}, {0, 0, 500, 0, 0},  {3, 1, 3300, 33, 6700},
      {4, 0, 100, 0, 0},      {-1, 1, 100, 0, 0}, {2, 2, 800, 100, 0},
  };
  for (const TCase& C : Cases) {
    TClock Clock;
    TTaskState S(Clock.Source());
    S.Start(C.Count);
    S.StepProgress(C.Done);
    Clock.Now += C.Elapsed;
    EXPECT_EQ(S.GetPercents(), C.Percents) << C.Count << "/" << C.Done;
    EXPECT_EQ(S.GetTimeElapsed(), C.Elapsed);
    EXPECT_EQ(S.GetTimeRemain(), C.Remain) << C.Count << "/" << C.Done;
  }
}

TEST(TaskStateTest, NoRemainingTimeOnceStopped) {
  TClock Clock;
  TTaskState S(Clock.Source());
  S.Start(2);
  S.StepProgress(1);
  Clock.Now += 1000;
  S.Stop(QStringLiteral("x"), true);
  EXPECT_EQ(S.GetTimeRemain(), 0);
}

TEST(TaskStateTest, DataSpeedInWholeSeconds) {
  TClock Clock;
  TTaskState S(Clock.Source());
  S.Start(1);
  S.UpdateDataSize(100);
  EXPECT_EQ(S.DataSpeed(), 0);  // not a whole second yet
  Clock.Now += 2500;
  S.UpdateDataSize(900);
  EXPECT_EQ(S.DataSize(), 1000);
  EXPECT_EQ(S.DataSpeed(), 500);
}

TEST(TaskStateTest, OutcomesSetTextFlagsAndFailureInfo) {
  TTaskState S;
  S.Start(1);
  S.SetSuccessText(QStringLiteral("готово"));
  S.Success();
  EXPECT_TRUE(S.Completed());
  EXPECT_TRUE(S.Succeeded());
  EXPECT_FALSE(S.IsRunning());
  EXPECT_TRUE(S.StopFlag());
  EXPECT_EQ(S.GetText(), QStringLiteral("готово"));
  EXPECT_EQ(S.FailedInfo(), QString());

  S.Start(1);
  EXPECT_FALSE(S.StopFlag());
  S.Fail(QStringLiteral("нет связи"));
  EXPECT_FALSE(S.Succeeded());
  EXPECT_EQ(S.GetText(), QStringLiteral("Ошибка"));
  EXPECT_EQ(S.FailedInfo(), QStringLiteral("нет связи"));

  S.Start(1);
  S.UserCancel();
  EXPECT_TRUE(S.UserCancelled());
  EXPECT_EQ(S.GetText(), QStringLiteral("Операция отменена"));
  EXPECT_EQ(S.FailedInfo(), QStringLiteral("Операция отменена пользователем"));
}

TEST(TaskStateTest, StopFlagAbortsTheBodySilently) {
  TTaskState S;
  S.Start(1);
  EXPECT_NO_THROW(S.CheckStopFlag());
  EXPECT_TRUE(S.RequestStop(QStringLiteral("Операция прервана")));
  try {
    S.CheckStopFlag();
    FAIL() << "no abort";
  } catch (const EKestrelAbort& E) {
    EXPECT_EQ(E.Message(), QStringLiteral("Операция отменена"));
  }
  S.Reset();
  EXPECT_NO_THROW(S.CheckStopFlag());
}

TEST(TaskStateTest, StopRequestKeepsTheOutcomeOfAnEndedTask) {
  TTaskState S;
  S.Start(1);
  S.SetSuccessText(QStringLiteral("ok"));
  S.Success();
  EXPECT_FALSE(S.RequestStop(QStringLiteral("Операция прервана")));
  EXPECT_TRUE(S.Succeeded());
  EXPECT_EQ(S.GetText(), QStringLiteral("ok"));
}

}  // namespace
