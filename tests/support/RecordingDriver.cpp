#include "tests/support/RecordingDriver.h"

QVariant TRecordingDriver::TCall::Setting(TPropertyId Property) const {
  QVariant Value;
  for (const TSetting& S : Settings) {
    if (S.Property == Property) Value = S.Value;
  }
  return Value;
}

bool TRecordingDriver::TCall::HasSetting(TPropertyId Property) const {
  for (const TSetting& S : Settings) {
    if (S.Property == Property) return true;
  }
  return false;
}

std::string TRecordingDriver::TCall::ToString() const {
  QString Text = QString::fromLatin1(MethodName(Method)) + u'(';
  for (std::size_t I = 0; I < Settings.size(); ++I) {
    if (I > 0) Text += QStringLiteral(", ");
    const QVariant& Value = Settings[I].Value;
    QString ValueText = ValueToText(Value);
    if (Value.metaType() == QMetaType::fromType<QString>()) ValueText = u'"' + ValueText + u'"';
    Text += QString::fromLatin1(PropertyName(Settings[I].Property)) + u'=' + ValueText;
  }
  Text += u')';
  return Text.toStdString();
}

void TRecordingDriver::Script(TMethodId Method, TAnswer Answer) {
  auto Guard = Lock();
  FQueues[Method].push_back(std::move(Answer));
}

void TRecordingDriver::ScriptDefault(TMethodId Method, TAnswer Answer) {
  auto Guard = Lock();
  FDefaults[Method] = std::move(Answer);
}

void TRecordingDriver::Preset(TPropertyId Property, const QVariant& Value) {
  auto Guard = Lock();
  Store(Property, Value);
}

std::vector<TRecordingDriver::TCall> TRecordingDriver::Calls() const {
  auto Guard = Lock();
  return FCalls;
}

std::vector<std::string> TRecordingDriver::MethodNames() const {
  auto Guard = Lock();
  std::vector<std::string> Names;
  for (const TCall& Call : FCalls) Names.emplace_back(MethodName(Call.Method));
  return Names;
}

std::vector<std::string> TRecordingDriver::Transcript() const {
  auto Guard = Lock();
  std::vector<std::string> Lines;
  for (const TCall& Call : FCalls) Lines.push_back(Call.ToString());
  return Lines;
}

std::vector<TRecordingDriver::TSetting> TRecordingDriver::PendingSettings() const {
  auto Guard = Lock();
  return FPending;
}

bool TRecordingDriver::ScriptUsedUp() const {
  auto Guard = Lock();
  for (const auto& [Method, Queue] : FQueues) {
    if (!Queue.empty()) return false;
  }
  return true;
}

void TRecordingDriver::ForgetCalls() {
  auto Guard = Lock();
  FCalls.clear();
  FPending.clear();
}

void TRecordingDriver::DoSetValue(TPropertyId Id, const QVariant& Value) {
  FPending.push_back({Id, Value});
  TStoredDriver::DoSetValue(Id, Value);
}

int TRecordingDriver::DoCall(TMethodId Id) {
  FCalls.push_back({Id, std::move(FPending)});
  FPending.clear();
  TAnswer Answer;
  auto Queue = FQueues.find(Id);
  if (Queue != FQueues.end() && !Queue->second.empty()) {
    Answer = std::move(Queue->second.front());
    Queue->second.pop_front();
  } else if (auto Default = FDefaults.find(Id); Default != FDefaults.end()) {
    Answer = Default->second;
  }
  for (const TSetting& Output : Answer.Outputs) Store(Output.Property, Output.Value);
  return Finish(Answer.Code, Answer.Description);
}
