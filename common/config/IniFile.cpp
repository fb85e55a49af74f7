#include "common/config/IniFile.h"

#include <cctype>
#include <fstream>
#include <iterator>
#include <sstream>

namespace {

std::string Trim(const std::string& s) {
  const auto b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos) return {};
  const auto e = s.find_last_not_of(" \t\r");
  return s.substr(b, e - b + 1);
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string KeyOf(const std::string& Section, const std::string& Key) {
  return Lower(Section) + '\n' + Lower(Key);
}

}  // namespace

TIniFile TIniFile::Load(const std::string& FileName) {
  std::ifstream in(FileName, std::ios::binary);
  if (!in) return {};
  return Parse(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
}

TIniFile TIniFile::Parse(const std::string& Text) {
  TIniFile ini;
  std::istringstream lines(Text);
  std::string line, section;
  while (std::getline(lines, line)) {
    line = Trim(line);
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    if (line.front() == '[') {
      const auto close = line.find(']');
      if (close != std::string::npos) section = Trim(line.substr(1, close - 1));
      continue;
    }
    const auto eq = line.find('=');
    if (eq == std::string::npos) continue;
    ini.FValues[KeyOf(section, Trim(line.substr(0, eq)))] = Trim(line.substr(eq + 1));
  }
  return ini;
}

bool TIniFile::Has(const std::string& Section, const std::string& Key) const {
  return FValues.count(KeyOf(Section, Key)) != 0;
}

std::string TIniFile::Read(const std::string& Section, const std::string& Key,
                           const std::string& Default) const {
  const auto it = FValues.find(KeyOf(Section, Key));
  return it == FValues.end() ? Default : it->second;
}
