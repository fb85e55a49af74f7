#pragma once
// Link protocol 2: frames 8F LEN NUMBER DATA CRC with byte stuffing (8F as
// 9F 81, 9F as 9F 83 after the start byte), a 16-bit frame number agreed on
// with an empty synchronisation frame, and CRC-16/CCITT-FALSE. There are no
// acknowledgement bytes: a missing, damaged or foreign answer makes the host
// send the command again.

#include <cstdint>
#include <string>

#include "common/logging/Logger.h"
#include "halden/link/Link.h"

class TPrinterProtocol2 : public IPrinterProtocol {
 public:
  static constexpr char STX = static_cast<char>(0x8F);
  static constexpr char ESC = static_cast<char>(0x9F);
  // The longest block a frame carries: LEN (16 bits) counts NUMBER and DATA.
  static constexpr std::size_t MaxBlockSize = 0xFFFF - 2;
  // Bytes other than the start byte skipped while hunting for an answer frame.
  static constexpr int MaxHuntBytes = 1024;

  TPrinterProtocol2(PSerialPort APort, PConnectionParams AParams);

  void Send(TCommandRec& Command) override;
  // The frame for Data under the current frame number; the synchronisation
  // frame 8F 00 00 0F 1D for an empty block. A block longer than MaxBlockSize
  // is refused (-8).
  std::string Encode(const std::string& Data) override;
  // Marks the link unsynchronised and synchronises at once.
  void Sync() override;
  void Reset() override {}

  std::uint16_t FrameNumber() const { return FFrameNumber; }
  bool Synchronized() const { return FSynchronized; }

 private:
  void Synchronize();
  // Reads one answer frame into FOutput and returns its NUMBER. Raises on a
  // time-out, a damaged frame or a CRC mismatch. Deadline (ms) bounds the
  // hunt for the start byte.
  std::uint16_t ReadAnswerFrame(int Deadline);
  // Count bytes after unstuffing: one block read of Count raw bytes, then
  // single bytes for what the stuffed pairs took up.
  std::string ReadUnstuffed(std::size_t Count);
  char ReadRawByte();
  char ReadUnstuffedByte();
  void WriteFrame(const std::string& Frame);
  void NextFrameNumber();

  TLogger FLogger{"TPrinterProtocol2"};
  PSerialPort FPort;
  PConnectionParams FParams;
  std::uint16_t FFrameNumber = 0;
  bool FSynchronized = false;
  std::string FOutput;     // DATA of the answer frame read last
  std::string FRawInput;   // the frame as last written
  std::string FRawOutput;  // raw bytes received during the current command
};
