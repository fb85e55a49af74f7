#include "halden/server/Clients.h"

#include <algorithm>

#include "halden/server/Halden.h"

namespace {
std::mutex gClientsLock;
std::weak_ptr<TClients> gClients;
}  // namespace

PClients TClients::Instance() {
  std::lock_guard<std::mutex> guard(gClientsLock);
  PClients result = gClients.lock();
  if (!result) {
    result.reset(new TClients);
    gClients = result;
  }
  return result;
}

void TClients::Add(THalden* Client) {
  {
    std::lock_guard<std::recursive_mutex> guard(FCS);
    if (std::find(FList.begin(), FList.end(), Client) != FList.end()) return;
    FList.push_back(Client);
  }
  Notify(Client, ctInsert);
}

void TClients::Remove(THalden* Client) {
  {
    std::lock_guard<std::recursive_mutex> guard(FCS);
    if (FList.empty()) return;
    FList.erase(std::remove(FList.begin(), FList.end(), Client), FList.end());
  }
  Notify(Client, ctRemove);
}

int TClients::Count() {
  std::lock_guard<std::recursive_mutex> guard(FCS);
  return static_cast<int>(FList.size());
}

THalden* TClients::Items(int Index) {
  std::lock_guard<std::recursive_mutex> guard(FCS);
  if (Index < 0 || Index >= static_cast<int>(FList.size())) return nullptr;
  return FList[Index];
}

THalden* TClients::ItemByID(int ID) {
  std::lock_guard<std::recursive_mutex> guard(FCS);
  for (THalden* client : FList)
    if (client->ID() == ID) return client;
  return nullptr;
}

void TClients::SetOnChange(TOnChange Value) {
  std::lock_guard<std::recursive_mutex> guard(FCS);
  FOnChange = std::move(Value);
}

void TClients::Notify(THalden* Client, TChangeType ChangeType) {
  TOnChange handler;
  {
    std::lock_guard<std::recursive_mutex> guard(FCS);
    handler = FOnChange;
  }
  if (handler) handler(Client, ChangeType);
}
