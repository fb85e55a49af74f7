#pragma once
// The device tables of the virtual KKT: their structure comes from one data
// file in the tree (tessel/vkkt/tables.json, compiled into the library when
// CMake configures the build), their values live in the device. Rows and
// fields are numbered from 1.

#include <QString>
#include <QStringList>
#include <cstdint>
#include <map>
#include <variant>
#include <vector>

namespace vkkt {

struct TFieldStruct {
  QString Name;
  bool IsString = false;  // a string field; else an unsigned integer
  int Size = 0;           // bytes of an integer, characters of a string
  std::int64_t Min = 0;   // integer fields only
  std::int64_t Max = 0;
  bool ReadOnly = false;  // kept by the device, refuses writes
  // Factory value: an integer, or a text; "$row" in either stands for the row number.
  QString Default;
};

struct TTableStruct {
  int Number = 0;
  QString Name;
  int Rows = 0;
  std::vector<TFieldStruct> Fields;
  // Factory values that differ from the field default: (row, field) -> value text.
  std::map<std::pair<int, int>, QString> Values;
};

using TFieldValue = std::variant<std::int64_t, QString>;

// The structures of every table, in number order. Parses the data file
// compiled into the library; throws std::runtime_error when it is malformed.
const std::vector<TTableStruct>& TableStructures();
// Parses a data file of that format (tests and the structures above).
std::vector<TTableStruct> ParseTableStructures(const QByteArray& Json);
// The text of the data file compiled into the library.
QByteArray TableDataText();

class TDeviceTables {
 public:
  TDeviceTables();  // every field at its factory value

  // Each returns a device error byte (0 on success).
  std::uint8_t GetTableStruct(int Table, const TTableStruct** Struct) const;
  std::uint8_t GetFieldStruct(int Table, int Field, const TFieldStruct** Struct) const;
  std::uint8_t Read(int Table, int Row, int Field, TFieldValue& Value) const;
  // A string field takes a text; an integer field an integer, or a text of
  // decimal digits (the tables page writes every value as text).
  std::uint8_t Write(int Table, int Row, int Field, const TFieldValue& Value);
  // The device keeps read-only fields itself through this.
  void Set(int Table, int Row, int Field, const TFieldValue& Value);
  // Factory values for one table, or every table when Table is 0.
  std::uint8_t Init(int Table);

  // Typed shortcuts for the device's own use (0 or an empty text on a bad address).
  std::int64_t Int(int Table, int Row, int Field) const;
  QString Text(int Table, int Row, int Field) const;

 private:
  std::uint8_t Locate(int Table, int Row, int Field, const TTableStruct** T,
                      const TFieldStruct** F) const;
  static TFieldValue FactoryValue(const TTableStruct& T, int Row, int Field);
  std::map<int, std::vector<std::vector<TFieldValue>>> FValues;  // table -> rows -> fields
};

}  // namespace vkkt
