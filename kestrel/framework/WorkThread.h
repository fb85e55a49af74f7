#pragma once
// Background work of the wizard: a thread that runs one callback, a locked
// text, the progress state of a task, the task base and the network link
// check. The page polls the state on a timer; the end of a run is reported
// once on the user-interface thread.

#include <QObject>
#include <QString>
#include <QThread>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

#include "driver/DriverFactory.h"

class TNotifyThread : public QThread {
 public:
  using TCallback = std::function<void(TNotifyThread&)>;
  explicit TNotifyThread(TCallback OnExecute) : FOnExecute(std::move(OnExecute)) {}
  ~TNotifyThread() override { wait(); }

 protected:
  void run() override {
    if (FOnExecute) FOnExecute(*this);
  }

 private:
  TCallback FOnExecute;
};

class TThreadString {
 public:
  QString GetValue() const {
    std::lock_guard<std::mutex> L(FLock);
    return FValue;
  }
  void SetValue(const QString& Value) {
    std::lock_guard<std::mutex> L(FLock);
    FValue = Value;
  }

 private:
  QString FValue;
  mutable std::mutex FLock;
};

// Milliseconds of a monotonic clock; tests give a clock of their own.
using TTickSource = std::function<qint64()>;
qint64 SystemTickCount();

class TTaskState {
 public:
  explicit TTaskState(TTickSource Ticks = SystemTickCount) : FTicks(std::move(Ticks)) {}

  void Start(int ItemCount);
  // Aborts the running body (EKestrelAbort "Операция отменена") after a stop.
  void CheckStopFlag() const;
  void Stop(const QString& Text, bool Succeeded);
  void Success();
  void Fail(const QString& ErrorText);
  void UserCancel();
  // A stop request from outside the body: Stop(Text, false) unless the task
  // has already ended. True when it applied.
  bool RequestStop(const QString& Text);
  void Reset() { FStopFlag = false; }
  void StepProgress(int N);
  void UpdateItemNumber(int N);
  void UpdateErrorCount(int N);
  void UpdateTickCount(qint64 T);
  void IncErrorCount(int N);
  void UpdateDataSize(int N);

  int GetPercents() const;
  qint64 GetTimeElapsed() const;
  qint64 GetTimeRemain() const;
  QString GetText() const { return FText.GetValue(); }
  void SetText(const QString& Value) { FText.SetValue(Value); }

  bool StopFlag() const { return FStopFlag; }
  bool Completed() const;
  bool Succeeded() const;
  bool IsRunning() const;
  bool UserCancelled() const;
  QString FailedInfo() const;
  QString SuccessText() const;
  void SetSuccessText(const QString& Value);
  int ItemNumber() const;
  int ItemCount() const;
  int ErrorCount() const;
  int DataSize() const;
  int DataSpeed() const;

 private:
  void StopLocked(const QString& Text, bool Succeeded);

  TTickSource FTicks;
  mutable std::mutex FLock;
  TThreadString FText;
  int FDataSize = 0;
  std::atomic<bool> FStopFlag{false};
  bool FCompleted = false;
  int FItemNumber = 0;
  int FItemCount = 0;
  qint64 FStartTime = 0;  // ms since the epoch
  bool FSucceeded = false;
  int FDataSpeed = 0;
  qint64 FTickCount = 0;
  bool FIsRunning = false;
  int FErrorCount = 0;
  QString FFailedInfo;
  bool FUserCancelled = false;
  QString FSuccessText;
};

class TWorkThread : public QObject {
  Q_OBJECT

 public:
  using TCompleted = std::function<void(TWorkThread&)>;

  explicit TWorkThread(QObject* Parent = nullptr);
  ~TWorkThread() override;

  virtual void Execute();
  // A stop request: ends a running task unsuccessfully and waits for it.
  void Stop();

  TTaskState& GetState() { return *FState; }
  bool GetStarted() const { return FStarted; }
  QString GetName() const { return FName; }
  void SetName(const QString& Value) { FName = Value; }
  TCompleted GetOnCompleted() const { return FOnCompleted; }
  void SetOnCompleted(TCompleted Value) { FOnCompleted = std::move(Value); }

 protected:
  virtual void DoExecute() {}
  virtual void Cancel();
  void WaitForThread();

  std::unique_ptr<TTaskState> FState;

 private:
  void ThreadEnded(int Generation);

  bool FStarted = false;
  std::unique_ptr<TNotifyThread> FThread;
  TCompleted FOnCompleted;
  QString FName;
  int FGeneration = 0;
};

// Checks that the KKT, set up for a network link, answers over the network.
class TCheckLANWorkTask : public TWorkThread {
  Q_OBJECT

 public:
  explicit TCheckLANWorkTask(QObject* Parent = nullptr);

  // Reads the link the controller chose and the shared driver, then runs.
  void Execute() override;

  // For tests: the clock of the DHCP wait, its pause, the private driver.
  void SetTickSource(TTickSource Ticks) { FTicks = std::move(Ticks); }
  void SetSleep(std::function<void(int)> Sleep) { FSleep = std::move(Sleep); }
  void SetDriverFactory(TDriverFactory Factory) { FCreateDriver = std::move(Factory); }

 protected:
  void DoExecute() override;
  void Cancel() override;

 private:
  void Check();

  IDriver* FShared = nullptr;
  bool FIsRNDIS = false;
  QString FIP;
  int FTCPPort = 0;
  TTickSource FTicks = SystemTickCount;
  std::function<void(int)> FSleep;
  TDriverFactory FCreateDriver;
};
