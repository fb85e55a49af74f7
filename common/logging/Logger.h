#pragma once
// A named front end to the process-wide log: every line starts with the name,
// usually the class name of the owner ("TComPort"). Safe from any thread.

#include <exception>
#include <string>
#include <string_view>

class TLogger {
 public:
  explicit TLogger(std::string AName) : FName(std::move(AName)) {}

  const std::string& Name() const { return FName; }

  void Debug(std::string_view Message) const;
  void Info(std::string_view Message) const;
  void Error(std::string_view Message) const;
  // The exception's message follows in parentheses: "Name Message (what)".
  void Error(std::string_view Message, const std::exception& E) const;

  // Dumps of the bytes exchanged with a device, 20 bytes a Debug line:
  // "Name -> 02 03 41" for sent bytes, "Name <- 06" for received ones.
  void WriteTxData(std::string_view Data) const { WriteData("-> ", Data); }
  void WriteRxData(std::string_view Data) const { WriteData("<- ", Data); }
  void WriteData(std::string_view Prefix, std::string_view Data) const;

 private:
  std::string FName;
};
