#pragma once
// The process-wide list of the server objects that called Connect, for the
// main window. It lives as long as a TClientsLink holds it (every server
// object and the main window hold one).

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "halden/server/ChangeType.h"

class THalden;
class TClients;
using PClients = std::shared_ptr<TClients>;

class TClients {
 public:
  using TOnChange = std::function<void(THalden* Sender, TChangeType ChangeType)>;

  TClients(const TClients&) = delete;
  TClients& operator=(const TClients&) = delete;

  // The list, created on first demand.
  static PClients Instance();

  // Lists the object once (ctInsert); a listed object is not added again.
  void Add(THalden* Client);
  // Takes the object off the list; while the list is not empty this reports
  // ctRemove, also for an object that was never listed.
  void Remove(THalden* Client);

  // The objects are valid while the caller holds the lock (an object leaves
  // the list under it before it ends).
  int Count();
  THalden* Items(int Index);
  THalden* ItemByID(int ID);
  void Lock() { FCS.lock(); }
  void Unlock() { FCS.unlock(); }

  // Called after an object joined and when one left, on the thread that made
  // the change.
  void SetOnChange(TOnChange Value);

 private:
  TClients() = default;
  void Notify(THalden* Client, TChangeType ChangeType);

  std::recursive_mutex FCS;
  std::vector<THalden*> FList;  // not owned
  TOnChange FOnChange;
};

// A hold on the client list.
class TClientsLink {
 public:
  TClientsLink() : FClients(TClients::Instance()) {}
  TClients* operator->() const { return FClients.get(); }
  const PClients& Clients() const { return FClients; }

 private:
  PClients FClients;
};
