#include "halden/server/Settings.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QString>

#include <cstdarg>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string_view>

#include "common/config/Paths.h"
#include "common/text/Intl.h"

namespace {

constexpr const char* Group = "A4/Params";

std::string Format(const char* Pattern, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* Pattern, ...) {
  va_list args;
  va_start(args, Pattern);
  va_list copy;
  va_copy(copy, args);
  const int size = std::vsnprintf(nullptr, 0, Pattern, copy);
  va_end(copy);
  std::string text(size > 0 ? size : 0, '\0');
  if (size > 0) std::vsnprintf(text.data(), text.size() + 1, Pattern, args);
  va_end(args);
  return text;
}

// A whole number written in decimal, with an optional sign. A number too
// large for 64 bits counts as a number out of every range.
struct TNumber {
  bool IsNumber = false;
  long long Value = 0;
};

TNumber ReadNumber(std::string_view Text) {
  TNumber result;
  std::size_t i = 0;
  bool negative = false;
  if (i < Text.size() && (Text[i] == '+' || Text[i] == '-')) negative = Text[i++] == '-';
  if (i == Text.size()) return result;
  long long value = 0;
  for (; i < Text.size(); ++i) {
    const char c = Text[i];
    if (c < '0' || c > '9') return result;
    if (value < 1000000000000000LL)
      value = value * 10 + (c - '0');  // saturates far above any range
  }
  result.IsNumber = true;
  result.Value = negative ? -value : value;
  return result;
}

bool InRange(long long Value, long long Min, long long Max) {
  return Value >= Min && Value <= Max;
}

QString Key(const char* Name) {
  return QString(Group) + "/" + Name;
}

// A stored Boolean as QSettings writes it ("true", "false"); 1 and 0 are
// read too.
std::optional<bool> ReadBool(const QString& Text) {
  const QString t = Text.trimmed().toLower();
  if (t == "true" || t == "1") return true;
  if (t == "false" || t == "0") return false;
  return std::nullopt;
}

}  // namespace

TSwitchSettings ParseSwitches(const std::vector<std::string>& Args) {
  TSwitchSettings result;
  THaldenSettings& s = result.Settings;
  for (const std::string& arg : Args) {
    if (arg.size() < 2) continue;
    const std::string_view number = std::string_view(arg).substr(2);
    switch (arg[1]) {
      case 'a':
        s.AutoPortClose = true;
        break;
      case 'r':
        s.AutoRecCancel = true;
        break;
      case 'p': {
        const TNumber n = ReadNumber(number);
        long long seconds = n.IsNumber ? n.Value : 10;
        if (!InRange(seconds, 0, MaxCloseTimeoutSeconds)) {
          result.Problems.push_back(
              Format(_("Ключ %s: таймаут блокировки должен быть от 0 до %d с; используется 10 с"),
                     arg.c_str(), MaxCloseTimeoutSeconds));
          seconds = 10;
        }
        s.CloseTimeout = static_cast<int>(seconds) * 1000;
        break;
      }
      case 't': {
        const TNumber n = ReadNumber(number);
        long long port = n.IsNumber ? n.Value : 211;
        if (!InRange(port, 0, MaxTCPPort)) {
          result.Problems.push_back(
              Format(_("Ключ %s: порт TCP должен быть от %d до %d (0 выключает TCP); "
                       "используется порт 211"),
                     arg.c_str(), MinTCPPort, MaxTCPPort));
          port = 211;
        }
        s.TCPPort = static_cast<int>(port);
        s.TCPEnabled = s.TCPPort != 0;
        break;
      }
      default:
        break;
    }
  }
  return result;
}

TSettingsStore::TSettingsStore() : FFileName(DefaultFileName()) {}

TSettingsStore::TSettingsStore(std::string FileName) : FFileName(std::move(FileName)) {}

std::string TSettingsStore::DefaultFileName() {
  return SettingsDir() + "/Tessel.conf";
}

TStoredSettings TSettingsStore::Read() const {
  TStoredSettings result;
  const QString name = QString::fromStdString(FFileName);
  const QFileInfo info(name);
  if (!info.exists()) return result;

  auto damaged = [&](std::string Problem) {
    result.State = TSettingsFileState::Damaged;
    result.Problems.push_back(std::move(Problem));
  };
  QFile probe(name);
  if (!info.isFile() || !probe.open(QIODevice::ReadOnly)) {
    damaged(Format(_("Файл настроек %s не удаётся прочитать; используются настройки по "
                     "умолчанию, файл не изменяется"),
                   FFileName.c_str()));
    return result;
  }
  probe.close();

  QSettings store(name, QSettings::IniFormat);
  if (store.status() != QSettings::NoError) {
    damaged(Format(_("Файл настроек %s повреждён; используются настройки по умолчанию, файл "
                     "не изменяется"),
                   FFileName.c_str()));
    return result;
  }
  result.State = TSettingsFileState::Read;
  THaldenSettings& s = result.Settings;

  auto wrongValue = [&](const char* Name, const QString& Text) {
    damaged(Format(_("Файл настроек %s: неверное значение %s=%s; используется значение по "
                     "умолчанию, файл не изменяется"),
                   FFileName.c_str(), Name, Text.toStdString().c_str()));
  };
  auto readInt = [&](const char* Name, int& Field, long long Min, long long Max) {
    const QVariant v = store.value(Key(Name));
    if (!v.isValid()) return;
    const QString text = v.toString();
    const TNumber n = ReadNumber(text.trimmed().toStdString());
    if (!n.IsNumber || !InRange(n.Value, Min, Max)) return wrongValue(Name, text);
    Field = static_cast<int>(n.Value);
  };
  auto readBool = [&](const char* Name, bool& Field) {
    const QVariant v = store.value(Key(Name));
    if (!v.isValid()) return;
    const QString text = v.toString();
    const std::optional<bool> b = ReadBool(text);
    if (!b) return wrongValue(Name, text);
    Field = *b;
  };
  readInt("TCPPort", s.TCPPort, 0, MaxTCPPort);
  readBool("TCPEnabled", s.TCPEnabled);
  readBool("AutoPortClose", s.AutoPortClose);
  readBool("AutoRecCancel", s.AutoRecCancel);
  readInt("CloseTimeout", s.CloseTimeout, 0, static_cast<long long>(MaxCloseTimeoutSeconds) * 1000);
  if (s.TCPEnabled && s.TCPPort == 0) {
    // Port 0 only ever means "off" (the switch /t0); listening on it would
    // take a port chosen by the system.
    damaged(Format(_("Файл настроек %s: TCP включён на порту 0; TCP выключен, файл не "
                     "изменяется"),
                   FFileName.c_str()));
    s.TCPEnabled = false;
  }
  return result;
}

bool TSettingsStore::Save(const THaldenSettings& Value) const {
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(FFileName).parent_path(), ec);
  QSettings store(QString::fromStdString(FFileName), QSettings::IniFormat);
  store.beginGroup(Group);
  store.setValue("TCPPort", Value.TCPPort);
  store.setValue("TCPEnabled", Value.TCPEnabled);
  store.setValue("AutoPortClose", Value.AutoPortClose);
  store.setValue("AutoRecCancel", Value.AutoRecCancel);
  store.setValue("CloseTimeout", Value.CloseTimeout);
  store.endGroup();
  store.sync();
  return store.status() == QSettings::NoError;
}

TStartSettings ReadStartSettings(const std::vector<std::string>& Args,
                                 const TSettingsStore& Store) {
  TStartSettings result;
  if (!Args.empty()) {
    TSwitchSettings switches = ParseSwitches(Args);
    result.Settings = switches.Settings;
    result.FromSwitches = true;
    result.Problems = std::move(switches.Problems);
    return result;
  }
  TStoredSettings stored = Store.Read();
  result.Settings = stored.Settings;
  result.KeepFile = stored.State == TSettingsFileState::Damaged;
  result.Problems = std::move(stored.Problems);
  return result;
}

TSettingsForm FormOf(const THaldenSettings& Value) {
  TSettingsForm form;
  form.TCPPort = std::to_string(Value.TCPPort);
  form.TCPEnabled = Value.TCPEnabled;
  form.CloseTimeoutSeconds = Value.CloseTimeout / 1000;
  form.AutoPortClose = Value.AutoPortClose;
  form.AutoRecCancel = Value.AutoRecCancel;
  return form;
}

TSettingsApplier::TSettingsApplier(const TSettingsStore& Store, ITCPListener& Listener,
                                   std::function<void(const THaldenSettings&)> ApplyTimers)
    : FStore(Store), FListener(Listener), FApplyTimers(std::move(ApplyTimers)) {}

void TSettingsApplier::SetSettings(const THaldenSettings& Value, bool KeepFile) {
  FSettings = Value;
  FKeepFile = KeepFile;
}

TApplyResult TSettingsApplier::Apply(const TSettingsForm& Form) {
  TApplyResult result;

  const TNumber port = ReadNumber(Form.TCPPort);
  if (!port.IsNumber) {
    result.Status = TApplyResult::Invalid;
    result.Error = Format(_("'%s' не является целым числом"), Form.TCPPort.c_str());
    return result;
  }
  // 0 is kept for a port field with TCP off (the switch /t0 stores it).
  if (!InRange(port.Value, Form.TCPEnabled ? MinTCPPort : 0, MaxTCPPort)) {
    result.Status = TApplyResult::Invalid;
    result.Error = Format(_("Порт TCP должен быть от %d до %d"), MinTCPPort, MaxTCPPort);
    return result;
  }
  if (!InRange(Form.CloseTimeoutSeconds, 0, MaxCloseTimeoutSeconds)) {
    result.Status = TApplyResult::Invalid;
    result.Error = Format(_("Таймаут блокировки должен быть от 0 до %d с"), MaxCloseTimeoutSeconds);
    return result;
  }
  THaldenSettings wanted;
  wanted.TCPPort = static_cast<int>(port.Value);
  wanted.TCPEnabled = Form.TCPEnabled;
  wanted.CloseTimeout = Form.CloseTimeoutSeconds * 1000;
  wanted.AutoPortClose = Form.AutoPortClose;
  wanted.AutoRecCancel = Form.AutoRecCancel;
  return Apply(wanted);
}

TApplyResult TSettingsApplier::Apply(const THaldenSettings& Wanted) {
  TApplyResult result;
  const THaldenSettings previous = FSettings;
  const THaldenSettings& wanted = Wanted;
  bool accepted = true;
  try {
    accepted = FListener.Update(wanted.TCPEnabled, wanted.TCPPort);
  } catch (const std::exception& E) {
    // The listener could not start: TCP is off for this run, while the
    // stored choice stays, so that the next start tries again.
    result.TCPFailed = true;
    result.Error =
        Format(_("Не удалось запустить TCP сервер на порту %d: %s"), wanted.TCPPort, E.what());
  }
  if (accepted) {
    FSettings = wanted;
    if (!FKeepFile) FStore.Save(wanted);
    FKeepFile = false;
    if (result.TCPFailed) FSettings.TCPEnabled = false;
  } else {
    FSettings = previous;
    result.Status = TApplyResult::Refused;
    try {
      FListener.Update(previous.TCPEnabled, previous.TCPPort);
    } catch (const std::exception&) {
      // The listener is as it was; it had no other state to return to.
    }
  }
  if (FApplyTimers) FApplyTimers(FSettings);
  return result;
}
