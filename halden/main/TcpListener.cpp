#include "halden/main/TcpListener.h"

#include <stdexcept>

THaldenListener::THaldenListener(TAsk Ask) : FAsk(std::move(Ask)) {}

THaldenListener::~THaldenListener() = default;

bool THaldenListener::Update(bool Enabled, int) {
  if (Enabled) throw std::runtime_error("the TCP dispatcher is not built yet");
  return true;
}
