#include "halden/link/Link.h"

int BaudRateOf(int Code) {
  static constexpr int kRates[] = {2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400, 460800, 921600};
  return Code >= 0 && Code <= 9 ? kRates[Code] : 4800;
}

void RaiseError(int Code, const char* Msg) { throw EDriverError(Code, _(Msg)); }

void RaiseErrorText(int Code, const std::string& Msg) { throw EDriverError(Code, Msg); }

int AnswerResultCode(const std::string& Answer) {
  const bool longCode = !Answer.empty() && static_cast<unsigned char>(Answer[0]) == 0xFF;
  if (longCode) return Answer.size() >= 3 ? static_cast<unsigned char>(Answer[2]) : 0;
  return Answer.size() >= 2 ? static_cast<unsigned char>(Answer[1]) : 0;
}
