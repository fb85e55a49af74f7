#include "tesselbench/shell/Driver.h"

#include <QThread>

#include "common/text/Intl.h"
#include "driver/DriverFactory.h"
#include "driver/ResultCodes.h"
#include "tesselbench/shell/TextValues.h"

namespace {

std::unique_ptr<TDriver>& Shared() {
  static std::unique_ptr<TDriver> Instance;
  return Instance;
}

std::function<void()>& RetryPause() {
  static std::function<void()> Pause = [] { QThread::msleep(50); };
  return Pause;
}

}  // namespace

void Check(int ResultCode) {
  if (ResultCode != 0) throw EAbort();
}

TDriver& Driver() {
  auto& Instance = Shared();
  if (!Instance) {
    QString Error;
    auto Created = CreateDriver(&Error);
    if (!Created) {
      throw EUserError(QString::fromUtf8(_("Ошибка создания объекта драйвера: ")) + Error);
    }
    Instance = std::make_unique<TDriver>(std::move(Created));
  }
  return *Instance;
}

bool DriverExists() { return Shared() != nullptr; }

void FreeDriver() { Shared().reset(); }

void InstallDriver(std::unique_ptr<IDriver> Instance) {
  Shared() = Instance ? std::make_unique<TDriver>(std::move(Instance)) : nullptr;
}

TDriver::TDriver(std::unique_ptr<IDriver> Instance) : FInstance(std::move(Instance)) {}

void TDriver::SetRetryPause(std::function<void()> Pause) { RetryPause() = std::move(Pause); }

int TDriver::ReadIntParam(int ParamID) {
  FInstance->SetModelParamNumber(ParamID);
  Check(FInstance->ReadModelParamValue());
  const QVariant Value = FInstance->ModelParamValue();
  bool Ok = false;
  const int Result = Value.toString().toInt(&Ok);
  if (!Ok) {
    throw EUserError(QString::fromUtf8(_("\"%1\" не является целым числом")).arg(Value.toString()));
  }
  return Result;
}

bool TDriver::ReadBoolParam(int ParamID) {
  FInstance->SetModelParamNumber(ParamID);
  Check(FInstance->ReadModelParamValue());
  const QVariant Value = FInstance->ModelParamValue();
  return Value.typeId() == QMetaType::Bool && Value.toBool();
}

bool TDriver::IsModelType2Id(int ModelId) {
  switch (ModelId) {
    case 16: case 19: case 20: case 21: case 27: case 28: case 29: case 30: case 32: case 33:
    case 34: case 35: case 36: case 38: case 39: case 40: case 41: case 42: case 45: case 46:
      return true;
    default:
      return false;
  }
}

bool TDriver::IsModelType2() { return IsModelType2Id(GetModelID()); }

int TDriver::CorrectTableNumber(int Number) {
  if (Number == 18) return ReadIntParam(72);
  if (Number == 19) return ReadIntParam(73);
  return Number;
}

int TDriver::ReadTableInt(int Table, int Row, int Field) {
  FInstance->SetRowNumber(Row);
  FInstance->SetTableNumber(CorrectTableNumber(Table));
  FInstance->SetFieldNumber(Field);
  Check(FInstance->ReadTable());
  return FInstance->ValueOfFieldInteger();
}

QString TDriver::ReadTableStr(int Table, int Row, int Field) {
  FInstance->SetRowNumber(Row);
  FInstance->SetTableNumber(CorrectTableNumber(Table));
  FInstance->SetFieldNumber(Field);
  Check(FInstance->ReadTable());
  return FInstance->ValueOfFieldString();
}

int TDriver::ReadTableDef(int Table, int Row, int Default, int Field) {
  FInstance->SetRowNumber(Row);
  FInstance->SetTableNumber(Table);
  FInstance->SetFieldNumber(Field);
  if (FInstance->ReadTable() != 0) return Default;
  return FInstance->ValueOfFieldInteger();
}

void TDriver::WriteTableInt(int Table, int Row, int Value, int Field) {
  FInstance->SetTableNumber(Table);
  FInstance->SetRowNumber(Row);
  FInstance->SetFieldNumber(Field);
  FInstance->SetValueOfFieldInteger(Value);
  Check(FInstance->WriteTable());
}

void TDriver::AddTagByte(int Tag, int Value) {
  FInstance->SetTagNumber(Tag);
  FInstance->SetTagType(0);
  FInstance->SetTagValueInt(Value);
  Check(FInstance->FNAddTag());
}

void TDriver::AddTagStr(int Tag, const QString& Value) {
  FInstance->SetTagNumber(Tag);
  FInstance->SetTagType(7);
  FInstance->SetTagValueStr(Value);
  Check(FInstance->FNAddTag());
}

void TDriver::AddTagUnixTime(int Tag, const QDateTime& Value) {
  FInstance->SetTagNumber(Tag);
  FInstance->SetTagType(6);
  FInstance->SetTagValueDateTime(Value);
  Check(FInstance->FNAddTag());
}

void TDriver::SendTagStr(int Tag, const QString& Value) {
  FInstance->SetTagNumber(Tag);
  FInstance->SetTagType(7);
  FInstance->SetTagValueStr(Value);
  Check(FInstance->FNSendTag());
}

void TDriver::SendTagUnixTime(int Tag, const QDateTime& Value) {
  FInstance->SetTagNumber(Tag);
  FInstance->SetTagType(6);
  FInstance->SetTagValueDateTime(Value);
  Check(FInstance->FNSendTag());
}

void TDriver::SendTagStrOperation(int Tag, const QString& Value) {
  FInstance->SetTagNumber(Tag);
  FInstance->SetTagType(7);
  FInstance->SetTagValueStr(Value);
  Check(FInstance->FNSendTagOperation());
}

void TDriver::SendTagUnixTimeOperation(int Tag, const QDateTime& Value) {
  FInstance->SetTagNumber(Tag);
  FInstance->SetTagType(6);
  FInstance->SetTagValueDateTime(Value);
  Check(FInstance->FNSendTagOperation());
}

void TDriver::BeginSTLVTag(int Tag) {
  FInstance->SetTagNumber(Tag);
  Check(FInstance->FNBeginSTLVTag());
}

void TDriver::SendSTLVTag(int Tag) {
  FInstance->SetTagNumber(Tag);
  Check(FInstance->FNSendSTLVTag());
}

void TDriver::SendSTLVTagOperation(int Tag) {
  FInstance->SetTagNumber(Tag);
  Check(FInstance->FNSendSTLVTagOperation());
}

int TDriver::SendCommand(const QByteArray& Bytes) {
  FInstance->SetBinaryConversion(1);
  FInstance->SetTransferBytes(BytesToHexText(Bytes));
  return FInstance->ExchangeBytes();
}

int TDriver::SendCommand(const QByteArray& Bytes, QByteArray& Response) {
  const int Code = SendCommand(Bytes);
  Response = HexTextToBytes(FInstance->TransferBytes());
  return Code;
}

QString TDriver::AmountToStr(TMoney Amount) {
  return ::AmountToStr(Amount, FInstance->PointPosition());
}

int TDriver::GetPrintStringWidth(int Font) {
  const int Saved = FInstance->Password();
  try {
    FInstance->SetPassword(FInstance->SysAdminPassword());
    FInstance->SetFontType(Font);
    Check(FInstance->GetFontMetrics());
  } catch (...) {
    FInstance->SetPassword(Saved);
    throw;
  }
  FInstance->SetPassword(Saved);
  const int CharWidth = FInstance->CharWidth();
  if (CharWidth == 0) return 40;
  return FInstance->PrintWidth() / CharWidth;
}

void TDriver::PrintText(const QString& Text, int Font) {
  if (Font == 0) {
    FInstance->SetStringForPrinting(Text);
    Check(FInstance->PrintStringWithWrap());
    return;
  }
  const int Width = GetPrintStringWidth(Font);
  for (const QString& Piece : SplitPrintText(Text, Width)) {
    FInstance->SetStringForPrinting(Piece);
    FInstance->SetFontType(Font);
    int Code = FInstance->PrintStringWithFont();
    for (int Attempt = 1; IsPrintingBusy(Code) && Attempt < 5; ++Attempt) {
      if (RetryPause()) RetryPause()();
      Code = FInstance->PrintStringWithFont();
    }
    Check(Code);
  }
}
