#include "halden/main/TcpListener.h"

#include <stdexcept>
#include <utility>

THaldenListener::THaldenListener(TTCPServer::TAsk Ask, TDispatcherOptions Options)
    : FServer(std::move(Ask), std::move(Options)) {}

THaldenListener::~THaldenListener() = default;

bool THaldenListener::Update(bool Enabled, int Port) {
  if (!FServer.Update(Enabled, Port)) return false;
  if (!FServer.LastError().empty()) throw std::runtime_error(FServer.LastError());
  return true;
}
