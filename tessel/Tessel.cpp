#include "tessel/Tessel.h"

#include <QDeadlineTimer>
#include <QThread>

#include "common/text/Hex.h"
#include "common/text/Intl.h"
#include "driver/DriverFactory.h"
#include "driver/ResultCodes.h"
#include "halden/link/Link.h"
#include "tessel/Codec.h"
#include "tessel/CommandTable.h"
#include "tessel/DeviceErrors.h"

using namespace tessel;
using P = TPropertyId;

namespace {

QString Tr(const char* Text) {
  return QString::fromUtf8(_(Text));
}

QString HexText(const std::string& Bytes) {
  return QString::fromStdString(varkon::HexSpaced(Bytes));
}

QString ModeDescription(int Mode) {
  switch (Mode) {
    case 2:
      return Tr("Смена открыта");
    case 3:
      return Tr("Смена открыта, 24 часа истекли");
    case 4:
      return Tr("Смена закрыта");
    case 8:
      return Tr("Открыт документ");
    default:
      return Tr("Режим %1").arg(Mode);
  }
}

// The printer sub-modes of the status answers.
constexpr int kAdvancedPrinting = 4;
constexpr int kAdvancedPrintingLong = 5;

QString AdvancedModeDescription(int Mode) {
  switch (Mode) {
    case 0:
      return Tr("Бумага есть");
    case 1:
      return Tr("Нет бумаги");
    case 3:
      return Tr("Ожидание команды продолжения печати");
    case kAdvancedPrinting:
      return Tr("Идёт печать");
    case kAdvancedPrintingLong:
      return Tr("Идёт печать длинного документа");
    default:
      return Tr("Подрежим %1").arg(Mode);
  }
}

}  // namespace

QString TesselResultDescription(int Code) {
  switch (Code) {
    case kResultOk:
      return Tr(S_NOERROR);
    case E_NOCONNECTION:
      return Tr(S_NOCONNECTION);
    case E_PORTNOTAVAILABLE:
      return Tr(S_PORTNOTAVAILABLE);
    case E_PORTBUSY:
      return Tr(S_PORTBUSY);
    case E_PORTLOCKED:
      return Tr(S_PORTLOCKED);
    case kResultNotSupported:
      return NotSupportedDescription();
    case kResultBadAnswer:
      return Tr("Неверный формат ответа устройства");
    case kResultBadValue:
      return Tr("Недопустимое значение параметра");
    case kResultConnectionType:
      return Tr("Тип подключения не поддерживается");
    default:
      break;
  }
  if (Code > 0 && Code <= 0xFF) return err::DeviceErrorDescription(Code);
  return Tr("Неизвестная ошибка");
}

TTessel::TTessel() {
  Store(P::DriverMajorVersion, kTesselMajorVersion);
  Store(P::DriverMinorVersion, kTesselMinorVersion);
  Store(P::DriverRelease, kTesselRelease);
  Store(P::DriverBuild, kTesselBuild);
  Store(P::DriverVersion, QStringLiteral("%1.%2.%3.%4")
                              .arg(kTesselMajorVersion)
                              .arg(kTesselMinorVersion)
                              .arg(kTesselRelease)
                              .arg(kTesselBuild));
  Store(P::ConnectionType, kConnectionInProcess);
  Store(P::ComNumber, 1);
  Store(P::BaudRate, 6);  // 115200
  Store(P::Timeout, 1000);
  Store(P::ConnectionTimeout, 1000);
  Store(P::Password, 30);
  Store(P::SysAdminPassword, 30);
  Store(P::BinaryConversion, 1);
  Store(P::UseReceiptRibbon, true);
  Finish(kResultOk, TesselResultDescription(kResultOk));
}

TTessel::~TTessel() = default;

int TTessel::FinishCode(int Code) {
  return Finish(Code, TesselResultDescription(Code));
}

int TTessel::DoCall(TMethodId Id) {
  switch (Id) {
    case TMethodId::Connect:
      return RunConnect();
    case TMethodId::Disconnect:
      return RunDisconnect();
    case TMethodId::ExchangeBytes:
      return RunExchangeBytes();
    case TMethodId::WaitForPrinting:
      return RunWaitForPrinting();
    case TMethodId::ReadErrorDescription:
      return RunReadErrorDescription();
    case TMethodId::ClearResult:
      return FinishCode(kResultOk);
    default:
      break;
  }
  const TCommandDef* Command = CommandOfMethod(Id);
  if (!Command) return NotSupported();
  const int Password =
      Stored(Id == TMethodId::SysAdminCancelCheck ? P::SysAdminPassword : P::Password).toInt();
  return RunCommand(*Command, Password);
}

int TTessel::EnsureOpen() {
  if (FTransport && FTransport->Opened()) return 0;
  const int Type = Stored(P::ConnectionType).toInt();
  if (Type != kConnectionInProcess) return FinishCode(kResultConnectionType);
  FTransport = CreateInProcessTransport();
  try {
    FTransport->Open();
  } catch (const EDriverError& E) {
    FTransport.reset();
    Store(P::Connected, false);
    return Finish(E.ErrorCode(), QString::fromStdString(E.WideMessage()));
  }
  Store(P::Connected, true);
  return 0;
}

int TTessel::Send(const std::string& Block, std::string& Answer) {
  Store(P::ECRInput, HexText(Block));
  Store(P::ECROutput, QString());
  try {
    Answer = FTransport->Exchange(Block, Stored(P::Timeout).toInt());
  } catch (const EDriverError& E) {
    return Finish(E.ErrorCode(), QString::fromStdString(E.WideMessage()));
  }
  Store(P::ECROutput, HexText(Answer));
  return 0;
}

int TTessel::RunCommand(const TCommandDef& Command, int Password) {
  if (const int Code = EnsureOpen()) return Code;
  std::string Block;
  try {
    TFieldValues Request(Command.Request);
    ReadBindings(Request, [this](TPropertyId Id) { return Stored(Id); });
    Block = EncodeRequest(Command, static_cast<std::uint32_t>(Password), Request);
  } catch (const ECodecError&) {
    return FinishCode(kResultBadValue);
  }
  std::string Reply;
  if (const int Code = Send(Block, Reply)) return Code;
  TAnswer Answer;
  try {
    Answer = DecodeAnswer(Command, Reply);
  } catch (const ECodecError&) {
    return FinishCode(kResultBadAnswer);
  }
  if (Answer.Error != 0) {
    // The operator number comes only with a successful answer; nothing else changes.
    return FinishCode(Answer.Error);
  }
  WriteBindings(Answer.Fields, [this](TPropertyId Id, const QVariant& V) { Store(Id, V); });
  AfterAnswer(Answer);
  return FinishCode(kResultOk);
}

void TTessel::AfterAnswer(const TAnswer& Answer) {
  const TFieldValues& F = Answer.Fields;
  const auto StoreFlags = [this](std::span<const TFlagBit> Bits, std::uint64_t Flags) {
    for (const TFlagBit& B : Bits) Store(B.Property, ((Flags >> B.Bit) & 1) != 0);
  };
  const auto StoreMode = [this](std::uint64_t Mode) {
    Store(P::ECRMode, static_cast<int>(Mode & 0x0F));
    Store(P::ECRModeStatus, static_cast<int>(Mode >> 4));
    Store(P::ECRModeDescription, ModeDescription(static_cast<int>(Mode & 0x0F)));
    Store(P::ECRAdvancedModeDescription,
          AdvancedModeDescription(Stored(P::ECRAdvancedMode).toInt()));
  };
  const auto StoreParamValue = [this, &F] {
    const std::uint64_t Value = F.UInt("Value");
    if (F.UInt("ValueType") == 1) {
      Store(P::ModelParamValue, QVariant::fromValue(Value != 0));
    } else {
      Store(P::ModelParamValue, QVariant::fromValue(static_cast<int>(static_cast<quint32>(Value))));
    }
  };
  switch (Answer.Command->Code) {
    case cmd::kStatus:
      StoreMode(F.UInt("ModeFr"));
      StoreFlags(ECRFlagBits(), F.UInt("FlagsFR"));
      StoreFlags(FMFlagBits(), F.UInt("FlagsFP"));
      break;
    case cmd::kShortStatus:
      StoreMode(F.UInt("Mode"));
      StoreFlags(ECRFlagBits(), F.UInt("Flags"));
      break;
    case cmd::kModelParam:
    case cmd::kModelParamByIndex:
      StoreParamValue();
      break;
    default:
      break;
  }
}

int TTessel::RunConnect() {
  if (FTransport) FTransport->Close();
  FTransport.reset();
  Store(P::Connected, false);
  const int Code = RunCommand(*FindCommand(cmd::kDeviceMetrics), 0);
  if (Code != 0) {
    if (FTransport) FTransport->Close();
    FTransport.reset();
    Store(P::Connected, false);
  }
  return Code;
}

int TTessel::RunDisconnect() {
  if (FTransport) FTransport->Close();
  FTransport.reset();
  Store(P::Connected, false);
  return FinishCode(kResultOk);
}

int TTessel::RunExchangeBytes() {
  if (Stored(P::BinaryConversion).toInt() != 1) return FinishCode(kResultBadValue);
  QString Text = Stored(P::TransferBytes).toString();
  Text.remove(QChar(' '));
  const auto Block = varkon::HexDecodePairs(Text.toStdString());
  if (!Block || Block->empty() || Text.size() % 2 != 0 ||
      Block->size() > static_cast<std::size_t>(kMaxBlockLength)) {
    return FinishCode(kResultBadValue);
  }
  if (const int Code = EnsureOpen()) return Code;
  std::string Answer;
  if (const int Code = Send(*Block, Answer)) return Code;
  Store(P::TransferBytes, HexText(Answer));
  return FinishCode(AnswerResultCode(Answer));
}

int TTessel::RunWaitForPrinting() {
  const TCommandDef& Status = *FindCommand(cmd::kShortStatus);
  const int Password = Stored(P::Password).toInt();
  QDeadlineTimer Deadline(std::max(Stored(P::Timeout).toInt(), 0) * 10);
  for (;;) {
    const int Code = RunCommand(Status, Password);
    if (Code != 0) return Code;
    const int Advanced = Stored(P::ECRAdvancedMode).toInt();
    if (Advanced != kAdvancedPrinting && Advanced != kAdvancedPrintingLong) return Code;
    if (Deadline.hasExpired()) return FinishCode(kResultPrinting);
    QThread::msleep(20);
  }
}

int TTessel::RunReadErrorDescription() {
  Store(P::ErrorDescription, TesselResultDescription(Stored(P::ErrorCode).toInt()));
  return FinishCode(kResultOk);
}

void RegisterTesselDriver() {
  RegisterDriverFactory([] { return std::make_unique<TTessel>(); });
}
