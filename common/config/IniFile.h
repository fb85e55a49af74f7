#pragma once
// A small read-only INI reader: "[Section]" lines, "key=value" lines, ";" and
// "#" comment lines. Section and key names compare without regard to ASCII
// case; names and values are trimmed. A missing file reads as empty.

#include <map>
#include <string>

class TIniFile {
 public:
  TIniFile() = default;
  static TIniFile Load(const std::string& FileName);
  static TIniFile Parse(const std::string& Text);

  bool Has(const std::string& Section, const std::string& Key) const;
  std::string Read(const std::string& Section, const std::string& Key,
                   const std::string& Default = {}) const;

 private:
  std::map<std::string, std::string> FValues;  // "section\nkey" in lower case -> value
};
