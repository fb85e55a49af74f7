#pragma once
// The standard link protocol: a character-oriented exchange with ENQ, STX,
// ACK and NAK. Before each command the host asks the device with ENQ whether
// it is ready, sends the command in a frame STX LEN DATA LRC, waits for ACK
// (retransmitting after NAK), then reads, checks and acknowledges the answer.

#include <string>

#include "common/logging/Logger.h"
#include "halden/link/Link.h"

// A command block longer than a link frame can carry (-8). Refused before
// anything is written, so the device never sees a truncated command.
constexpr const char* S_COMMANDTOOLONG = N_("Слишком длинная команда");

class TPrinterProtocol : public IPrinterProtocol {
 public:
  static constexpr char ENQ = 0x05;
  static constexpr char STX = 0x02;
  static constexpr char ACK = 0x06;
  static constexpr char NAK = 0x15;
  // The longest block one frame carries: LEN is one byte.
  static constexpr std::size_t MaxBlockSize = 255;
  // Bytes discarded by one drain of the line before it gives up on silence.
  static constexpr int MaxDrainBytes = 1024;
  // Byte time-out while draining the line, ms.
  static constexpr int DrainTimeout = 100;

  TPrinterProtocol(PSerialPort APort, PConnectionParams AParams);

  void Send(TCommandRec& Command) override;
  // STX, LEN, DATA, LRC; a block longer than MaxBlockSize is refused (-8).
  std::string Encode(const std::string& Data) override;
  void Sync() override {}
  void Reset() override {}

 private:
  enum class THandshake { Ready, Fetch };

  void EnqHandshake(THandshake Mode);
  void SendFrame(const std::string& Frame);
  // ACK, NAK or ENQ in C, or false when none came within three bytes.
  bool ReadControlByte(char& C);
  // True for an intact answer (acknowledged with ACK, in FOutput). A damaged
  // one is refused with NAK and counts as no answer.
  bool ReadAnswer();
  void DrainLine();

  bool ReadByte(char& C);
  void WriteData(const std::string& Data);
  void SetTimeout(int Value);

  TLogger FLogger{"TPrinterProtocol"};
  PSerialPort FPort;
  PConnectionParams FParams;
  std::string FOutput;     // DATA of the answer read last
  std::string FRawInput;   // the frame as last transmitted
  std::string FRawOutput;  // bytes received for the answer since the frame was sent
};
