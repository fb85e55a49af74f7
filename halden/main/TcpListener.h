#pragma once
// The TCP dispatcher as the settings apply sees it.

#include <functional>
#include <string>

#include "halden/server/Settings.h"

class THaldenListener : public ITCPListener {
 public:
  using TAsk = std::function<bool(const std::string& Question)>;
  explicit THaldenListener(TAsk Ask);
  ~THaldenListener() override;
  bool Update(bool Enabled, int Port) override;

 private:
  TAsk FAsk;
};
