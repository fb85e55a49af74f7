#include "halden/server/PrinterPorts.h"

#include <algorithm>

namespace {

std::mutex gPortsLock;
std::weak_ptr<TPrinterPorts> gPorts;

// Calls F(offset, size, field) for every field of the status record.
template <class Rec, class F>
void ForEachStatusField(Rec& R, F&& Field) {
  Field(0, 1, R.OperatorNumber);
  Field(1, 4, R.VersionFR);
  Field(5, 2, R.BuildFR);
  Field(7, 1, R.DayFR);
  Field(8, 1, R.MonthFR);
  Field(9, 1, R.YearFR);
  Field(10, 1, R.LogicalNumber);
  Field(11, 2, R.DocNumber);
  Field(13, 2, R.FlagsFR);
  Field(15, 1, R.ModeFr);
  Field(16, 1, R.AdvansedModeFR);
  Field(17, 1, R.PortFR);
  Field(18, 4, R.VersionFP);
  Field(22, 2, R.BuildFP);
  Field(24, 1, R.DayFP);
  Field(25, 1, R.MonthFP);
  Field(26, 1, R.YearFP);
  Field(27, 1, R.Day);
  Field(28, 1, R.Month);
  Field(29, 1, R.Year);
  Field(30, 1, R.Hour);
  Field(31, 1, R.Minute);
  Field(32, 1, R.Second);
  Field(33, 1, R.FlagsFP);
  Field(34, 4, R.SerialNumber);
  Field(38, 2, R.SessionNumber);
  Field(40, 2, R.FreeRecordInCM);
  Field(42, 1, R.RegistrationNumber);
  Field(43, 1, R.FreeRegistration);
  Field(44, 6, R.INN);
}

}  // namespace

std::string TStatusRec::Encode() const {
  std::string result(Size, '\0');
  ForEachStatusField(*this, [&](int Offset, int Count, auto Value) {
    for (int i = 0; i < Count; ++i)
      result[Offset + i] = static_cast<char>((static_cast<uint64_t>(Value) >> (8 * i)) & 0xFF);
  });
  return result;
}

TStatusRec TStatusRec::Decode(std::string_view Data) {
  TStatusRec result;
  ForEachStatusField(result, [&](int Offset, int Count, auto& Value) {
    uint64_t v = 0;
    for (int i = 0; i < Count; ++i) {
      const size_t at = static_cast<size_t>(Offset + i);
      if (at < Data.size())
        v |= static_cast<uint64_t>(static_cast<unsigned char>(Data[at])) << (8 * i);
    }
    Value = static_cast<std::remove_reference_t<decltype(Value)>>(v);
  });
  return result;
}

void TStatusRec::Update(std::string_view Data) {
  std::string bytes = Encode();
  const size_t count = std::min(Data.size(), static_cast<size_t>(Size));
  bytes.replace(0, count, Data.substr(0, count));
  *this = Decode(bytes);
}

TPrinterPorts::TPrinterPorts() : FCreator(DefaultPortDevices) {}

TPrinterPorts::~TPrinterPorts() = default;

PPrinterPorts TPrinterPorts::Instance() {
  std::lock_guard<std::mutex> guard(gPortsLock);
  PPrinterPorts result = gPorts.lock();
  if (!result) {
    result.reset(new TPrinterPorts);
    gPorts = result;
  }
  return result;
}

PPrinterPort TPrinterPorts::Add(int PortNumber, int AProtocolType) {
  return TPrinterPort::CreatePort(shared_from_this(), PortNumber, AProtocolType);
}

// A port whose last holder is already gone (its destructor is about to take
// it off the list) is not found any more.
PPrinterPort TPrinterPorts::ItemByPortNumber(int Value) {
  std::lock_guard<std::recursive_mutex> guard(FCS);
  for (TPrinterPort* port : FList)
    if (port->PortNumber() == Value)
      if (PPrinterPort result = port->weak_from_this().lock()) return result;
  return nullptr;
}

PPrinterPort TPrinterPorts::ItemByID(int ID) {
  std::lock_guard<std::recursive_mutex> guard(FCS);
  for (TPrinterPort* port : FList)
    if (port->ID() == ID)
      if (PPrinterPort result = port->weak_from_this().lock()) return result;
  return nullptr;
}

int TPrinterPorts::Count() {
  std::lock_guard<std::recursive_mutex> guard(FCS);
  return static_cast<int>(FList.size());
}

PPrinterPort TPrinterPorts::Items(int Index) {
  std::lock_guard<std::recursive_mutex> guard(FCS);
  if (Index < 0 || Index >= static_cast<int>(FList.size())) return nullptr;
  return FList[Index]->weak_from_this().lock();
}

void TPrinterPorts::UpdateTimers() {
  std::vector<PPrinterPort> ports;
  {
    std::lock_guard<std::recursive_mutex> guard(FCS);
    for (TPrinterPort* port : FList)
      if (PPrinterPort held = port->weak_from_this().lock()) ports.push_back(std::move(held));
  }
  for (const PPrinterPort& port : ports) port->ArmTimer();
}

void TPrinterPorts::SetOnChange(TOnChange Value) {
  std::lock_guard<std::recursive_mutex> guard(FCS);
  FOnChange = std::move(Value);
}

TLockSettings TPrinterPorts::Settings() {
  std::lock_guard<std::recursive_mutex> guard(FCS);
  return FSettings;
}

void TPrinterPorts::SetSettings(const TLockSettings& Value) {
  std::lock_guard<std::recursive_mutex> guard(FCS);
  FSettings = Value;
}

void TPrinterPorts::SetPortCreator(TPortCreator Value) {
  std::lock_guard<std::recursive_mutex> guard(FCS);
  FCreator = Value ? std::move(Value) : TPortCreator(DefaultPortDevices);
}

TPortCreator TPrinterPorts::Creator() {
  std::lock_guard<std::recursive_mutex> guard(FCS);
  return FCreator;
}

void TPrinterPorts::Insert(TPrinterPort* Port) {
  {
    std::lock_guard<std::recursive_mutex> guard(FCS);
    FList.push_back(Port);
  }
  Notify(Port, ctInsert);
}

void TPrinterPorts::Remove(TPrinterPort* Port) {
  Notify(Port, ctRemove);
  std::lock_guard<std::recursive_mutex> guard(FCS);
  FList.erase(std::remove(FList.begin(), FList.end(), Port), FList.end());
}

void TPrinterPorts::Notify(TPrinterPort* Port, TChangeType ChangeType) {
  TOnChange handler;
  {
    std::lock_guard<std::recursive_mutex> guard(FCS);
    handler = FOnChange;
  }
  if (handler) handler(Port, ChangeType);
}

TPrinterPortLink::TPrinterPortLink(const PPrinterPorts& Ports, int PortNumber, int AProtocolType)
    : FPort(Ports->ItemByPortNumber(PortNumber)) {
  if (!FPort) FPort = Ports->Add(PortNumber, AProtocolType);
}
