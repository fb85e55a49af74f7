#pragma once
// What the virtual KKT tells about itself: identity, firmware, model
// parameters and font metrics. These are facts of the model; only the serial
// number can be changed (by the service command that sets it).

#include <QDate>
#include <QString>
#include <cstdint>
#include <variant>
#include <vector>

namespace vkkt {

struct TIdentity {
  QString SerialNumber = "0000000012345678";   // 16 digits; the status record carries it as 4 bytes
  int UModel = 47;                             // model number
  QString UDescription = "ВИРТУАЛЬНАЯ ККТ-Ф";  // model description
  int UMajorType = 0;                          // device type: fiscal register
  int UMinorType = 0;
  int UMajorProtocolVersion = 1;
  int UMinorProtocolVersion = 2;
  int UCodePage = 0;  // 0: the Russian code page
  // Firmware: ECRSoftVersion is the text the programs compare ("D.1"); the
  // status record carries it as four ASCII bytes padded with blanks.
  QString ECRSoftVersion = "D.1";
  int ECRBuild = 2051;
  QDate ECRSoftDate = QDate(2021, 3, 15);
  QString FNSerialNumber = "9960440300112233";
  std::uint64_t INN = 0;  // taxpayer number until registration
};

// A model parameter: a number, its description and a Boolean or integer value.
struct TModelParam {
  int Number;
  const char* Description;
  std::variant<bool, std::int64_t> Value;
};

// Every parameter of the model, in number order.
const std::vector<TModelParam>& ModelParams();
// The parameter with this number, or nullptr.
const TModelParam* FindModelParam(int Number);

struct TFontMetrics {
  int PrintWidth;  // dots across the paper
  int CharWidth;   // dots per character
  int CharHeight;  // dots per line
};

constexpr int kFontCount = 7;
// Metrics of font 1..kFontCount, or nullptr for any other number.
const TFontMetrics* FontMetrics(int Font);
// Characters per line in a font (font 1 when the number is unknown).
int LineWidth(int Font);

}  // namespace vkkt
