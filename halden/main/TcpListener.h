#pragma once
// The TCP dispatcher as the settings apply sees it: TTCPServer, whose failure
// to start (or to stop) is raised for the apply to handle.

#include <string>

#include "halden/server/Settings.h"
#include "halden/server/TcpServer.h"

class THaldenListener : public ITCPListener {
 public:
  explicit THaldenListener(TTCPServer::TAsk Ask, TDispatcherOptions Options = {});
  // Closes the connections, which releases their objects.
  ~THaldenListener() override;

  bool Update(bool Enabled, int Port) override;
  TTCPServer& Server() { return FServer; }

 private:
  TTCPServer FServer;
};
