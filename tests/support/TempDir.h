#pragma once
// A fresh folder under the system's temporary folder, removed with its content.

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>

class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "varkon-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    FPath = pattern;
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(FPath, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return FPath; }

 private:
  std::filesystem::path FPath;
};
