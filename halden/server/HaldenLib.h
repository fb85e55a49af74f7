#pragma once
// The identity of Halden's type library HaldenLib and its interface IHalden:
// the members a client reaches, in their declared order, with their dispatch
// identifiers. There is no automation runtime here; the TCP dispatcher offers
// the same members by these names and identifiers.

#include <string>

namespace HaldenLib {

constexpr const char* LibraryName = "HaldenLib";
constexpr int MajorVersion = 1;
constexpr int MinorVersion = 3;
constexpr int LocaleID = 0x409;
constexpr const char* InterfaceName = "IHalden";
constexpr const char* ClassName = "Halden";
constexpr const char* ProgID = "HaldenLib.Halden";

constexpr const char* LIBID_HaldenLib = "{27BB5897-EF2A-4A36-9539-143BB27A7310}";
constexpr const char* IID_IHalden = "{C96DA1AA-D73A-470F-A939-6D7E59E14921}";
constexpr const char* CLASS_Halden = "{62ECF1CA-1469-4F15-8CE3-32D0D11C8795}";

}  // namespace HaldenLib

// Dispatch identifiers of the IHalden members.
enum THaldenDispID : int {
  DISPID_OpenPort = 1,
  DISPID_ClosePort = 2,
  DISPID_SendData = 5,
  DISPID_FileVersion = 7,
  DISPID_ResultDescription = 8,
  DISPID_OpenCheck = 13,
  DISPID_CloseCheck = 14,
  DISPID_Connect = 15,
  DISPID_GetComputerName = 21,
  DISPID_ResultCode = 3,
  DISPID_LockPort = 4,
  DISPID_UnlockPort = 6,
  DISPID_AdminUnlockPort = 9,
  DISPID_AdminUnlockPorts = 10,
  DISPID_ProtocolType = 201,
  DISPID_RawAnswer = 202,
  DISPID_RawTxData = 203,
};

// The members in declared order.
struct THaldenMember {
  const char* Name;
  int DispID;
};
constexpr THaldenMember HaldenMembers[] = {
    {"OpenPort", DISPID_OpenPort},
    {"ClosePort", DISPID_ClosePort},
    {"SendData", DISPID_SendData},
    {"FileVersion", DISPID_FileVersion},
    {"ResultDescription", DISPID_ResultDescription},
    {"OpenCheck", DISPID_OpenCheck},
    {"CloseCheck", DISPID_CloseCheck},
    {"Connect", DISPID_Connect},
    {"GetComputerName", DISPID_GetComputerName},
    {"ResultCode", DISPID_ResultCode},
    {"LockPort", DISPID_LockPort},
    {"UnlockPort", DISPID_UnlockPort},
    {"AdminUnlockPort", DISPID_AdminUnlockPort},
    {"AdminUnlockPorts", DISPID_AdminUnlockPorts},
    {"ProtocolType", DISPID_ProtocolType},
    {"RawAnswer", DISPID_RawAnswer},
    {"RawTxData", DISPID_RawTxData},
};

// The interface of Halden's server object. Integers are 32-bit signed, texts
// UTF-8; the integer results of the methods are result codes (0 success).
// Byte strings cross it as hexadecimal text, two digits per byte.
class IHalden {
 public:
  virtual ~IHalden() = default;

  virtual int OpenPort(int PortNumber, int BaudRate, int Timeout) = 0;
  virtual int ClosePort() = 0;
  // The answer block as lower-case hexadecimal text; ResultCode receives the
  // device's error byte or the failure's code.
  virtual std::string SendData(int CmdTimeout, const std::string& TxData, int& ResultCode) = 0;
  virtual std::string FileVersion() = 0;
  virtual std::string ResultDescription() = 0;
  virtual int OpenCheck(int PortNumber, int Password) = 0;
  virtual int CloseCheck(int PortNumber) = 0;
  virtual int Connect(int AAppPID, const std::string& AAppName, const std::string& ACompName) = 0;
  virtual std::string GetComputerName() = 0;
  virtual int ResultCode() = 0;
  virtual int LockPort(int PortNumber) = 0;
  virtual int UnlockPort() = 0;
  virtual int AdminUnlockPort(int PortNumber) = 0;
  virtual int AdminUnlockPorts() = 0;
  virtual int ProtocolType() = 0;
  virtual void SetProtocolType(int Value) = 0;
  virtual std::string RawAnswer() = 0;
  virtual std::string RawTxData() = 0;
};
