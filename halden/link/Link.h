#pragma once
// The shared pieces of the device link: the parameters of a served port, the
// command record that travels through a protocol, the link's error type and
// codes, and the two interfaces between a served port, its serial port and
// its protocol.
//
// Byte strings are std::string, one byte per char, no code-page conversion.

#include <memory>
#include <stdexcept>
#include <string>

#include "common/text/Intl.h"

// Result codes of the link and the server, with their texts (message ids).
constexpr int E_NOERROR = 0;
constexpr int E_NOCONNECTION = -1;
constexpr int E_PORTNOTAVAILABLE = -2;
constexpr int E_PORTBUSY = -3;
constexpr int E_UNKNOWN = -8;
constexpr int E_PORTLOCKED = -18;

// The first letter of "СOM" is the Cyrillic capital Es (U+0421).
constexpr const char* S_NOERROR = N_("Ошибок нет");
constexpr const char* S_NOCONNECTION = N_("Нет связи");
constexpr const char* S_PORTNOTAVAILABLE = N_("СOM порт недоступен");
constexpr const char* S_PORTBUSY = N_("СOM порт занят другим приложением");
constexpr const char* S_PORTLOCKED = N_("Порт заблокирован");
constexpr const char* S_BADDATAFORMAT = N_("Неверный формат данных");
constexpr const char* S_BADPACKETFORMAT = N_("Некорректный формат пакета");

// The parameters of one served port. The served port owns it; its serial port
// and protocol share it, so none of them can outlive the values they read.
struct TConnectionParams {
  int ComNumber = 0;          // n of COMn
  int ProtocolType = 0;       // 0 standard protocol, 1 protocol 2
  int BaudRate = 0;           // baud-rate code, see BaudRateOf
  int Timeout = 0;            // ms: byte time-out and answer deadline
  int MaxENQCount = 4;        // ENQ repetitions without a reply
  int MaxAnsCount = 4;        // acknowledgement reads, stray answers; protocol 2: answer failures
  int CommandRetryCount = 4;  // transmissions of one frame answered with NAK
  int MaxCmdCount = 5;        // protocol 2: frame-number mismatches
};
using PConnectionParams = std::shared_ptr<TConnectionParams>;

// The rate in bit/s of a baud-rate code; any code outside 0..9 is 4800.
int BaudRateOf(int Code);

// The device's error byte in an answer block: the third byte after a
// two-byte command code (first byte 0xFF), else the second byte; 0 for an
// answer too short to carry one.
int AnswerResultCode(const std::string& Answer);

// One command on its way through a protocol.
struct TCommandRec {
  unsigned short Code = 0;  // code of the last answer the served port decoded itself
  std::string Command;      // in: the command block as the client sent it
  std::string Answer;       // out: the answer block (command code, error code, data)
  int Timeout = 0;          // in: ms the device may take before its answer starts
  std::string TxData;       // out: the frame as written to the line
  std::string RxData;       // out: the bytes read from the line for the answer
};

// A failure of the link or the server, with its result code. The message is
// the text as the user reads it (already through the catalogue).
class EDriverError : public std::runtime_error {
 public:
  EDriverError(int Code, const std::string& Msg) : std::runtime_error(Msg), FErrorCode(Code) {}
  static EDriverError Create2(int Code, const std::string& Msg) { return EDriverError(Code, Msg); }

  int ErrorCode() const { return FErrorCode; }
  std::string WideMessage() const { return what(); }

 private:
  int FErrorCode;
};

// Every raise in the device link goes through here: the code and the message
// id, which is translated for the user.
[[noreturn]] void RaiseError(int Code, const char* Msg);
// The same with a message that is already the user's text.
[[noreturn]] void RaiseErrorText(int Code, const std::string& Msg);

// The byte layer under the protocols. Not safe for concurrent use: the served
// port serialises its commands.
class ISerialPort {
 public:
  virtual ~ISerialPort() = default;
  virtual void Open() = 0;
  virtual void Close() = 0;
  virtual void Purge() = 0;
  virtual void Write(const std::string& Data) = 0;
  // Read time-outs for the next reads: Value ms in all, TConnectionParams.Timeout between bytes.
  virtual void SetCmdTimeout(int Value) = 0;
  virtual bool GetOpened() = 0;
  // Exactly Count bytes within the time-outs in force, or -1 "Нет связи".
  virtual std::string Read(int Count) = 0;
  // Exactly Count bytes within ATimeout ms from the call, or -1 "Нет связи".
  virtual std::string ReadEx(int Count, int ATimeout) = 0;
  // One byte within the time-outs in force; false (C unchanged) when none came.
  virtual bool ReadChar(char& C) = 0;
};
using PSerialPort = std::shared_ptr<ISerialPort>;

// A link protocol: carries one command block to the device and its answer back.
class IPrinterProtocol {
 public:
  virtual ~IPrinterProtocol() = default;
  // The whole exchange. Fills Answer, TxData and RxData; on failure raises
  // EDriverError and leaves the outputs as they were.
  virtual void Send(TCommandRec& Command) = 0;
  // The frame that carries Data.
  virtual std::string Encode(const std::string& Data) = 0;
  virtual void Sync() = 0;
  virtual void Reset() = 0;
};
using PPrinterProtocol = std::shared_ptr<IPrinterProtocol>;
