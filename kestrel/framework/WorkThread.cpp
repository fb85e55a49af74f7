#include "kestrel/framework/WorkThread.h"

#include <QDateTime>
#include <QElapsedTimer>

#include "common/text/Intl.h"
#include "kestrel/framework/Controller.h"
#include "kestrel/framework/DriverHelpers.h"
#include "kestrel/framework/KestrelError.h"

qint64 SystemTickCount() {
  static QElapsedTimer Timer = [] {
    QElapsedTimer T;
    T.start();
    return T;
  }();
  return Timer.elapsed();
}

// TTaskState

void TTaskState::Start(int ItemCount) {
  std::lock_guard<std::mutex> L(FLock);
  FDataSize = FDataSpeed = FItemNumber = FErrorCount = 0;
  FStartTime = QDateTime::currentMSecsSinceEpoch();
  FCompleted = FSucceeded = FUserCancelled = false;
  FStopFlag = false;
  FTickCount = FTicks();
  FIsRunning = true;
  FItemCount = ItemCount;
  FFailedInfo.clear();
}

void TTaskState::CheckStopFlag() const {
  if (FStopFlag) throw EKestrelAbort(Text(_("Операция отменена")));
}

void TTaskState::StopLocked(const QString& Value, bool Succeeded) {
  FText.SetValue(Value);
  FStopFlag = true;
  FCompleted = true;
  FSucceeded = Succeeded;
  FIsRunning = false;
  if (!Succeeded) FFailedInfo = Value;
}

void TTaskState::Stop(const QString& Value, bool Succeeded) {
  std::lock_guard<std::mutex> L(FLock);
  StopLocked(Value, Succeeded);
}

void TTaskState::Success() {
  std::lock_guard<std::mutex> L(FLock);
  StopLocked(FSuccessText, true);
}

void TTaskState::Fail(const QString& ErrorText) {
  std::lock_guard<std::mutex> L(FLock);
  StopLocked(Text(_("Ошибка")), false);
  FFailedInfo = ErrorText;
}

void TTaskState::UserCancel() {
  std::lock_guard<std::mutex> L(FLock);
  StopLocked(Text(_("Операция отменена")), false);
  FUserCancelled = true;
  FFailedInfo = Text(_("Операция отменена пользователем"));
}

bool TTaskState::RequestStop(const QString& Value) {
  std::lock_guard<std::mutex> L(FLock);
  if (FCompleted) return false;
  StopLocked(Value, false);
  return true;
}

void TTaskState::StepProgress(int N) {
  std::lock_guard<std::mutex> L(FLock);
  FItemNumber += N;
}

void TTaskState::UpdateItemNumber(int N) {
  std::lock_guard<std::mutex> L(FLock);
  FItemNumber = N;
}

void TTaskState::UpdateErrorCount(int N) {
  std::lock_guard<std::mutex> L(FLock);
  FErrorCount = N;
}

void TTaskState::UpdateTickCount(qint64 T) {
  std::lock_guard<std::mutex> L(FLock);
  FTickCount = T;
}

void TTaskState::IncErrorCount(int N) {
  std::lock_guard<std::mutex> L(FLock);
  FErrorCount += N;
}

void TTaskState::UpdateDataSize(int N) {
  std::lock_guard<std::mutex> L(FLock);
  FDataSize += N;
  const qint64 Seconds = (FTicks() - FTickCount) / 1000;
  if (Seconds != 0) FDataSpeed = static_cast<int>(FDataSize / Seconds);
}

int TTaskState::GetPercents() const {
  std::lock_guard<std::mutex> L(FLock);
  if (FItemCount <= 0) return 0;
  return static_cast<int>(static_cast<qint64>(FItemNumber) * 100 / FItemCount);
}

qint64 TTaskState::GetTimeElapsed() const {
  std::lock_guard<std::mutex> L(FLock);
  return FTicks() - FTickCount;
}

qint64 TTaskState::GetTimeRemain() const {
  const int Percents = GetPercents();
  const qint64 Elapsed = GetTimeElapsed();
  std::lock_guard<std::mutex> L(FLock);
  if (!FIsRunning || FItemCount <= 0 || Percents <= 0) return 0;
  return Elapsed * 100 / Percents - Elapsed;
}

#define TASK_STATE_GETTER(Type, Name, Field) \
  Type TTaskState::Name() const {            \
    std::lock_guard<std::mutex> L(FLock);    \
    return Field;                            \
  }
TASK_STATE_GETTER(bool, Completed, FCompleted)
TASK_STATE_GETTER(bool, Succeeded, FSucceeded)
TASK_STATE_GETTER(bool, IsRunning, FIsRunning)
TASK_STATE_GETTER(bool, UserCancelled, FUserCancelled)
TASK_STATE_GETTER(QString, FailedInfo, FFailedInfo)
TASK_STATE_GETTER(QString, SuccessText, FSuccessText)
TASK_STATE_GETTER(int, ItemNumber, FItemNumber)
TASK_STATE_GETTER(int, ItemCount, FItemCount)
TASK_STATE_GETTER(int, ErrorCount, FErrorCount)
TASK_STATE_GETTER(int, DataSize, FDataSize)
TASK_STATE_GETTER(int, DataSpeed, FDataSpeed)
#undef TASK_STATE_GETTER

void TTaskState::SetSuccessText(const QString& Value) {
  std::lock_guard<std::mutex> L(FLock);
  FSuccessText = Value;
}

// TWorkThread

TWorkThread::TWorkThread(QObject* Parent)
    : QObject(Parent), FState(std::make_unique<TTaskState>()) {}

TWorkThread::~TWorkThread() {
  FThread.reset();
}

void TWorkThread::WaitForThread() {
  if (FThread) FThread->wait();
}

void TWorkThread::Execute() {
  FThread.reset();
  const int Generation = ++FGeneration;
  // Started from here on, so that a stop right after Execute is not lost.
  FStarted = true;
  FThread = std::make_unique<TNotifyThread>([this](TNotifyThread&) {
    try {
      DoExecute();
    } catch (const EKestrelError& E) {
      FState->Stop(E.Message(), false);
    } catch (const std::exception& E) {
      FState->Stop(QString::fromUtf8(E.what()), false);
    }
  });
  connect(
      FThread.get(), &QThread::finished, this, [this, Generation] { ThreadEnded(Generation); },
      Qt::QueuedConnection);
  FThread->start();
}

void TWorkThread::ThreadEnded(int Generation) {
  if (Generation != FGeneration) return;
  FStarted = false;
  if (FOnCompleted) FOnCompleted(*this);
}

void TWorkThread::Stop() {
  if (!FStarted) return;
  // A task that already ended keeps its outcome.
  if (!FState->RequestStop(Text(_("Операция прервана")))) {
    WaitForThread();
    return;
  }
  Cancel();
  WaitForThread();
}

void TWorkThread::Cancel() {
  FState->SetText(Text(_("Операция отменяется...")));
  WaitForThread();
}

// TCheckLANWorkTask

TCheckLANWorkTask::TCheckLANWorkTask(QObject* Parent) : TWorkThread(Parent) {
  FSleep = [](int Ms) { QThread::msleep(Ms); };
  FCreateDriver = [] { return CreateDriver(); };
}

void TCheckLANWorkTask::Execute() {
  TController& C = Controller();
  FShared = C.Driver.get();
  FIsRNDIS = C.IsRNDIS;
  FIP = C.IP;
  FTCPPort = C.TCPPort;
  TWorkThread::Execute();
}

void TCheckLANWorkTask::Cancel() {
  FState->UserCancel();
  TWorkThread::Cancel();
}

void TCheckLANWorkTask::DoExecute() {
  try {
    Check();
    FState->Success();
  } catch (const EKestrelError& E) {
    FState->Stop(E.Message(), false);
  } catch (const std::exception& E) {
    FState->Stop(QString::fromUtf8(E.what()), false);
  }
}

void TCheckLANWorkTask::Check() {
  TTaskState& S = *FState;
  S.Start(2);
  if (!FShared) throw EKestrelError(Text(_("Драйвер ФР не установлен")));
  IDriver& D = *FShared;
  QString Address;
  int Port = 0;
  try {
    if (FIsRNDIS) {
      Address = FIP;
      Port = FTCPPort;
    } else {
      if (ReadTableInt(D, 16, 1, 1) == 0) {
        S.SetText(Text(_("Ожидание получения IP адреса...")));
        const qint64 Begin = FTicks();
        qint64 Status = 0;
        for (;;) {
          Status = ReadTableInt(D, 16, 1, 2);
          S.CheckStopFlag();
          if (Status == 10 || FTicks() - Begin > 60000) break;
          FSleep(50);
        }
        if (Status != 10)
          throw EKestrelError(Text(_("Не удается получить IP по DHCP %1")).arg(Status));
      }
      S.StepProgress(1);
      QStringList Parts;
      for (int Field = 3; Field <= 6; ++Field)
        Parts << QString::number(ReadTableInt(D, 16, 1, Field));
      Address = Parts.join(QLatin1Char('.'));
      Port = static_cast<int>(ReadTableInt(D, 21, 1, 4));
    }
  } catch (...) {
    D.Disconnect();
    throw;
  }
  S.SetText(Text(_("Подключение по сети... %1: %2")).arg(Address).arg(Port));
  int Password = 0;
  int SysAdminPassword = 0;
  {
    auto L = D.Lock();
    D.Disconnect();
    Password = D.Password();
    SysAdminPassword = D.SysAdminPassword();
  }
  std::unique_ptr<IDriver> Private = FCreateDriver ? FCreateDriver() : nullptr;
  if (!Private) throw EKestrelError(Text(_("Драйвер ФР не установлен")));
  struct TDisconnect {
    IDriver& Driver;
    ~TDisconnect() { Driver.Disconnect(); }
  } Guard{*Private};
  // The private instance authenticates as the shared one was set up to.
  Private->SetPassword(Password);
  Private->SetSysAdminPassword(SysAdminPassword);
  Private->SetConnectionType(6);
  Private->SetComputerName(Address);
  Private->SetTCPPort(Port);
  Private->SetTCPConnectionTimeout(10000);
  if (Private->GetECRStatus() != 0)
    throw EKestrelError(Text(_("Ошибка подключения к : %1:%2, %3 \nПроверьте настройки сети"))
                            .arg(Address)
                            .arg(Port)
                            .arg(Private->ResultCodeDescription()));
  S.StepProgress(1);
  // A stop requested while the device answered wins over the success.
  S.CheckStopFlag();
  S.SetSuccessText(
      Text(_("Связь успешно установлена: %1:%2\nНажмите \"Далее\"")).arg(Address).arg(Port));
}
