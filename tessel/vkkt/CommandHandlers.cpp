#include <cstdint>

#include "tessel/vkkt/Device.h"
#include "tessel/vkkt/DeviceErrors.h"

namespace vkkt {

namespace {

std::uint32_t Le32(const QByteArray& B, int Offset) {
  std::uint32_t V = 0;
  for (int I = 0; I < 4; ++I)
    V |= static_cast<std::uint32_t>(static_cast<std::uint8_t>(B[Offset + I])) << (8 * I);
  return V;
}

}  // namespace

QByteArray TDevice::Execute(const QByteArray& Command) {
  TLock L(FMutex);
  return ExecuteLocked(Command);
}

// The answer starts with the command code (one byte, or FF and a second
// byte) and the error byte; an empty block gets an empty answer.
QByteArray TDevice::ExecuteLocked(const QByteArray& Command) {
  if (Command.isEmpty()) return {};
  const bool Long = static_cast<std::uint8_t>(Command[0]) == 0xFF;
  if (Long && Command.size() < 2) return QByteArray(1, '\xFF') + char(kBadLength);
  const int CodeSize = Long ? 2 : 1;
  const QByteArray Code = Command.left(CodeSize);
  const QByteArray Args = Command.mid(CodeSize);
  auto Answer = [&Code](std::uint8_t Error, const QByteArray& Data = {}) {
    return Code + char(Error) + (Error == kOk ? Data : QByteArray());
  };
  if (!Long) {
    switch (static_cast<std::uint8_t>(Code[0])) {
      case 0x11: {  // status: password; answer: the 50-byte status record
        if (Args.size() != 4) return Answer(kBadLength);
        QByteArray Record;
        const std::uint8_t E = StatusRecord(Le32(Args, 0), Record);
        return Answer(E, Record);
      }
      case 0x88: {  // cancel the open receipt: password
        if (Args.size() != 4) return Answer(kBadLength);
        return Answer(CancelReceipt(Le32(Args, 0)));
      }
      default:
        break;
    }
  }
  return Answer(kUnknownCommand);
}

}  // namespace vkkt
