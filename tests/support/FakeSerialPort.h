#pragma once
// A scripted serial port for the protocol tests and the fuzz targets: the
// device's bytes come from a queue, each host write may release a scripted
// reply, and every call and byte is recorded. Free of GoogleTest, so that the
// fuzz build can use it.
//
// Scripts are hexadecimal text with blanks: "06 02 03 41 42 43 43". A "~"
// marks a read time-out at that point: a single-byte read there returns
// false, a block read there fails with -1.

#include <deque>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "halden/link/Link.h"

class FakeSerialPort : public ISerialPort {
 public:
  // The bytes of a script ("02 03 41"); a time-out mark is not allowed here.
  static std::string Bytes(std::string_view Hex);

  // Bytes already waiting on the line.
  void Feed(std::string_view Script);
  void FeedBytes(std::string_view Bytes);
  // The device's reply to the host's next write that has no reply yet; an
  // empty script is silence.
  void OnWrite(std::string_view Script);
  void OnWriteBytes(std::string_view Bytes);
  // From now on a read finding no scripted byte gets Byte in place of a
  // time-out: a line that never falls silent.
  void SetNoise(char Byte) {
    FNoise = true;
    FNoiseByte = Byte;
  }
  // After Skip more calls of Op ("Open", "Write", "Purge", "ReadChar", ...)
  // the next Times calls raise EDriverError Code without doing anything else.
  void FailNext(const std::string& Op, int Code, int Times = 1, int Skip = 0) {
    FFailures[Op] = {Code, Times, Skip, false};
  }
  // The device is unplugged at the call of Op after Skip more calls: the port
  // closes itself and the call raises -1, as a real port does on removal.
  void RemoveAt(const std::string& Op, int Skip = 0) {
    FFailures[Op] = {E_NOCONNECTION, 1, Skip, true};
  }
  // More single-byte reads than this raise std::logic_error, so that a
  // protocol that does not stop fails its test instead of hanging it.
  void SetReadLimit(long Limit) { FReadLimit = Limit; }

  // ISerialPort
  void Open() override;
  void Close() override;
  void Purge() override;
  void Write(const std::string& Data) override;
  void SetCmdTimeout(int Value) override;
  bool GetOpened() override { return FOpened; }
  std::string Read(int Count) override;
  std::string ReadEx(int Count, int ATimeout) override;
  bool ReadChar(char& C) override;

  // Every call in order: "Open", "Close", "Purge", "Write 02 03 41",
  // "SetCmdTimeout 100", "ReadChar 15", "ReadChar ~" (time-out), "Read 3",
  // "ReadEx 4 100".
  const std::vector<std::string>& Calls() const { return FCalls; }
  // The calls whose text starts with Prefix.
  std::vector<std::string> CallsOf(std::string_view Prefix) const;
  int CountOf(std::string_view Prefix) const { return static_cast<int>(CallsOf(Prefix).size()); }
  // Each write as spaced upper-case hex.
  std::vector<std::string> Writes() const;
  // The line as a transcript of turns: "H 05 | D 15 | H 02 03 41 42 43 43 | D 06".
  std::string Transcript() const;
  // Bytes still waiting, and replies not yet released.
  std::size_t Pending() const { return FInput.size(); }
  std::size_t RepliesLeft() const { return FReplies.size(); }
  long SingleReads() const { return FSingleReads; }
  int OpenCount() const { return FOpenCount; }

 private:
  using TScript = std::deque<int>;  // bytes 0..255, or -1 for a time-out mark
  static TScript Parse(std::string_view Script);
  void Fail(const std::string& Op);
  // The next byte, -1 for a time-out.
  int Next();
  std::string ReadBlock(const std::string& Call, int Count);
  void Record(char Dir, std::string_view Bytes);

  TScript FInput;
  std::deque<TScript> FReplies;
  bool FNoise = false;
  char FNoiseByte = 0;
  long FReadLimit = 1000000;
  long FSingleReads = 0;
  bool FOpened = true;
  int FOpenCount = 0;
  struct TFailure {
    int Code = 0;
    int Times = 0;
    int Skip = 0;
    bool Closes = false;
  };
  std::map<std::string, TFailure> FFailures;
  std::vector<std::string> FCalls;
  std::vector<std::string> FWrites;
  std::vector<std::pair<char, std::string>> FTurns;
};
