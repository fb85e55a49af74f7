#include "tesselbench/shell/TestParams.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStandardPaths>
#include <memory>

namespace {

struct TListRef {
  const char* Name;
  QStringList TTestParams::*List;
};

constexpr TListRef kLists[] = {
    {"SlipOpen", &TTestParams::SlipOpen},
    {"SlipClose", &TTestParams::SlipClose},
    {"SlipConfigure", &TTestParams::SlipConfigure},
    {"SlipDiscountCharge", &TTestParams::SlipDiscountCharge},
    {"SlipRegistration", &TTestParams::SlipRegistration},
};

std::unique_ptr<TTestParams>& Shared() {
  static std::unique_ptr<TTestParams> Instance;
  return Instance;
}

}  // namespace

void TTestParams::Load(const QString& FileName) {
  ParamsLoaded = false;
  QFile File(FileName);
  if (!File.open(QIODevice::ReadOnly)) return;
  QJsonParseError Error;
  const QJsonDocument Doc = QJsonDocument::fromJson(File.readAll(), &Error);
  if (Error.error != QJsonParseError::NoError || !Doc.isObject()) return;
  const QJsonObject Root = Doc.object();
  bool AllFilled = true;
  for (const auto& Ref : kLists) {
    QStringList Lines;
    for (const QJsonValue& Line : Root.value(QLatin1String(Ref.Name)).toArray()) {
      Lines.append(Line.toString());
    }
    this->*Ref.List = Lines;
    if (Lines.isEmpty()) AllFilled = false;
  }
  ParamsLoaded = AllFilled;
}

bool TTestParams::Save(const QString& FileName) const {
  QJsonObject Root;
  Root.insert(QStringLiteral("ParamsLoaded"), ParamsLoaded);
  for (const auto& Ref : kLists) {
    Root.insert(QLatin1String(Ref.Name), QJsonArray::fromStringList(this->*Ref.List));
  }
  QDir().mkpath(QFileInfo(FileName).path());
  QSaveFile File(FileName);  // a temporary file, renamed over the old one on commit
  if (!File.open(QIODevice::WriteOnly)) return false;
  File.write(QJsonDocument(Root).toJson());
  return File.commit();
}

QString TTestParams::DefaultFileName() {
  QString Data = qEnvironmentVariable("XDG_DATA_HOME");
  if (Data.isEmpty()) Data = QDir::homePath() + QStringLiteral("/.local/share");
  return Data + QStringLiteral("/Varkon/tesselbench.dat");
}

TTestParams& TTestParams::Instance() {
  auto& Instance = Shared();
  if (!Instance) {
    Instance = std::make_unique<TTestParams>();
    Instance->Load(DefaultFileName());
  }
  return *Instance;
}

void TTestParams::FreeInstance() {
  auto& Instance = Shared();
  if (!Instance) return;
  Instance->Save(DefaultFileName());
  Instance.reset();
}
