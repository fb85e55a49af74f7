#include "tessel/Codec.h"

#include <QDateTime>
#include <cmath>
#include <limits>

#include "common/text/CodePage.h"
#include "common/text/Hex.h"
#include "driver/ValueType.h"

namespace tessel {

namespace {

using W = TWireType;

[[noreturn]] void Fail(ECodecError::TKind Kind, const std::string& Message) {
  throw ECodecError(Kind, Message);
}

std::string FieldLabel(const TFieldDef& Field) {
  return Field.Name;
}

bool IsIntegerVariant(const QVariant& Value) {
  switch (Value.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
      return true;
    default:
      return false;
  }
}

std::uint64_t MaxOf(int Size) {
  return Size >= 8 ? std::numeric_limits<std::uint64_t>::max()
                   : (std::uint64_t{1} << (8 * Size)) - 1;
}

constexpr std::int64_t kMoneyLimit = std::int64_t{1} << 39;  // signed 5 bytes
constexpr std::int64_t kQuantityLimit = std::int64_t{1} << 40;
constexpr double kQuantityScale = 1000000.0;

// The value converted to the field's value type, or ECodecError.
QVariant ToFieldValue(const TFieldDef& Field, const QVariant& Value) {
  const auto Bad = [&](const char* Why) -> QVariant {
    Fail(ECodecError::TKind::BadValue, FieldLabel(Field) + ": " + Why);
  };
  switch (Field.Type) {
    case W::UInt:
    case W::Bits: {
      if (Value.metaType().id() == QMetaType::Bool) {
        return QVariant::fromValue<quint64>(Value.toBool() ? 1 : 0);
      }
      if (!IsIntegerVariant(Value)) return Bad("not an integer");
      std::uint64_t V = 0;
      if (Value.metaType().id() == QMetaType::ULongLong ||
          Value.metaType().id() == QMetaType::ULong || Value.metaType().id() == QMetaType::UInt) {
        V = Value.toULongLong();
      } else {
        const qint64 S = Value.toLongLong();
        if (S < 0) return Bad("negative");
        V = static_cast<std::uint64_t>(S);
      }
      if (V > MaxOf(Field.Type == W::Bits ? 1 : Field.Size)) return Bad("out of range");
      return QVariant::fromValue<quint64>(V);
    }
    case W::Money: {
      const auto M = ConvertValue(TValueType::Money, Value);
      if (!M) return Bad("not money");
      return *M;
    }
    case W::Quantity: {
      const auto D = ConvertValue(TValueType::Double, Value);
      if (!D) return Bad("not a number");
      const double Q = D->toDouble();
      if (!std::isfinite(Q) || Q < 0 || std::llround(Q * kQuantityScale) >= kQuantityLimit) {
        return Bad("out of range");
      }
      return *D;
    }
    case W::Text: {
      if (Value.metaType().id() != QMetaType::QString) return Bad("not a text");
      return Value;
    }
    case W::Bytes: {
      if (Value.metaType().id() != QMetaType::QByteArray) return Bad("not bytes");
      if (Field.Size > 0 && Value.toByteArray().size() > Field.Size) return Bad("too long");
      return Value;
    }
    case W::Date: {
      if (Value.metaType().id() != QMetaType::QDate) return Bad("not a date");
      const QDate D = Value.toDate();
      if (D.isValid() && (D.year() < 2000 || D.year() > 2099)) return Bad("year out of range");
      return Value;
    }
    case W::Time: {
      if (Value.metaType().id() != QMetaType::QTime) return Bad("not a time");
      return Value;
    }
  }
  return Bad("unknown wire type");
}

void PutUInt(std::string& Out, std::uint64_t V, int Size) {
  for (int I = 0; I < Size; ++I) {
    Out.push_back(static_cast<char>(V & 0xFF));
    V >>= 8;
  }
}

std::uint64_t GetUInt(std::string_view In, int Size) {
  std::uint64_t V = 0;
  for (int I = Size - 1; I >= 0; --I) V = (V << 8) | static_cast<unsigned char>(In[I]);
  return V;
}

void EncodeField(std::string& Out, const TFieldDef& Field, const QVariant& Value) {
  switch (Field.Type) {
    case W::UInt:
    case W::Bits:
      PutUInt(Out, Value.toULongLong(), Field.Type == W::Bits ? 1 : Field.Size);
      return;
    case W::Money: {
      const std::int64_t Units = Value.value<TMoney>().Units();
      // To kopecks, halves away from zero.
      const std::int64_t Kopecks = Units >= 0 ? (Units + 50) / 100 : -((-Units + 50) / 100);
      if (Kopecks >= kMoneyLimit || Kopecks < -kMoneyLimit) {
        Fail(ECodecError::TKind::BadValue, Field.Name + ": out of range");
      }
      PutUInt(Out, static_cast<std::uint64_t>(Kopecks), 5);
      return;
    }
    case W::Quantity:
      PutUInt(Out, static_cast<std::uint64_t>(std::llround(Value.toDouble() * kQuantityScale)), 5);
      return;
    case W::Text: {
      std::string Bytes = varkon::Utf8ToCp1251(Value.toString().toStdString());
      if (Field.Size > 0) {
        Bytes.resize(Field.Size, '\0');  // a longer text is cut at the field's length
      }
      Out += Bytes;
      return;
    }
    case W::Bytes: {
      const QByteArray B = Value.toByteArray();
      Out.append(B.constData(), B.size());
      if (Field.Size > 0) Out.append(Field.Size - B.size(), '\0');
      return;
    }
    case W::Date: {
      const QDate D = Value.toDate();
      if (!D.isValid()) {
        Out.append(3, '\0');
      } else {
        Out.push_back(static_cast<char>(D.day()));
        Out.push_back(static_cast<char>(D.month()));
        Out.push_back(static_cast<char>(D.year() - 2000));
      }
      return;
    }
    case W::Time: {
      const QTime T = Value.toTime();
      Out.push_back(static_cast<char>(T.isValid() ? T.hour() : 0));
      Out.push_back(static_cast<char>(T.isValid() ? T.minute() : 0));
      Out.push_back(static_cast<char>(T.isValid() ? T.second() : 0));
      return;
    }
  }
}

QVariant DecodeField(const TFieldDef& Field, std::string_view In) {
  switch (Field.Type) {
    case W::UInt:
    case W::Bits:
      return QVariant::fromValue<quint64>(GetUInt(In, static_cast<int>(In.size())));
    case W::Money: {
      std::uint64_t Raw = GetUInt(In, 5);
      std::int64_t Kopecks = static_cast<std::int64_t>(Raw);
      if (Raw & (std::uint64_t{1} << 39)) Kopecks -= std::int64_t{1} << 40;
      return QVariant::fromValue(TMoney::FromUnits(Kopecks * 100));
    }
    case W::Quantity:
      return QVariant::fromValue(static_cast<double>(GetUInt(In, 5)) / kQuantityScale);
    case W::Text: {
      std::string_view T = In;
      if (Field.Size > 0) {
        const auto End = T.find('\0');
        if (End != std::string_view::npos) T = T.substr(0, End);
      }
      return QVariant::fromValue(QString::fromStdString(varkon::Cp1251ToUtf8(T)));
    }
    case W::Bytes:
      return QVariant::fromValue(QByteArray(In.data(), static_cast<qsizetype>(In.size())));
    case W::Date: {
      const int D = static_cast<unsigned char>(In[0]), M = static_cast<unsigned char>(In[1]),
                Y = static_cast<unsigned char>(In[2]);
      if (D == 0 && M == 0 && Y == 0) return QVariant::fromValue(QDate());
      const QDate Date(2000 + Y, M, D);
      if (!Date.isValid() || Y > 99) Fail(ECodecError::TKind::BadValue, Field.Name + ": bad date");
      return QVariant::fromValue(Date);
    }
    case W::Time: {
      const QTime Time(static_cast<unsigned char>(In[0]), static_cast<unsigned char>(In[1]),
                       static_cast<unsigned char>(In[2]));
      if (!Time.isValid()) Fail(ECodecError::TKind::BadValue, Field.Name + ": bad time");
      return QVariant::fromValue(Time);
    }
  }
  return {};
}

std::string EncodeFields(std::span<const TFieldDef> Defs, const TFieldValues& Fields) {
  std::string Out;
  for (std::size_t I = 0; I < Defs.size(); ++I)
    EncodeField(Out, Defs[I], Fields.At(static_cast<int>(I)));
  return Out;
}

TFieldValues DecodeFields(std::span<const TFieldDef> Defs, std::string_view In,
                          const std::string& Command) {
  TFieldValues Out(Defs);
  std::size_t Pos = 0;
  for (std::size_t I = 0; I < Defs.size(); ++I) {
    const TFieldDef& D = Defs[I];
    const std::size_t Length =
        D.Size > 0 ? static_cast<std::size_t>(D.Size) : In.size() - std::min(Pos, In.size());
    if (Pos + Length > In.size()) {
      Fail(ECodecError::TKind::BadLength, Command + ": block too short at " + D.Name);
    }
    Out.SetAt(static_cast<int>(I), DecodeField(D, In.substr(Pos, Length)));
    Pos += Length;
  }
  if (Pos != In.size()) Fail(ECodecError::TKind::BadLength, Command + ": block too long");
  return Out;
}

void CheckLength(const std::string& Block, const TCommandDef& Command) {
  if (Block.size() > static_cast<std::size_t>(kMaxBlockLength)) {
    Fail(ECodecError::TKind::TooLong, Command.Name + ": block longer than 255 bytes");
  }
}

}  // namespace

// ---- TFieldValues ----------------------------------------------------------

TFieldValues::TFieldValues(std::span<const TFieldDef> Fields) : FFields(Fields) {
  FValues.reserve(Fields.size());
  for (const TFieldDef& F : Fields) FValues.push_back(ZeroValue(F.Type));
}

int TFieldValues::IndexOf(std::string_view Name) const {
  for (std::size_t I = 0; I < FFields.size(); ++I) {
    if (FFields[I].Name == Name) return static_cast<int>(I);
  }
  return -1;
}

int TFieldValues::Require(std::string_view Name) const {
  const int I = IndexOf(Name);
  if (I < 0) throw std::invalid_argument("no field " + std::string(Name));
  return I;
}

const QVariant& TFieldValues::Get(std::string_view Name) const {
  return FValues[Require(Name)];
}

void TFieldValues::Set(std::string_view Name, const QVariant& Value) {
  SetAt(Require(Name), Value);
}

void TFieldValues::SetAt(int Index, const QVariant& Value) {
  FValues[Index] = ToFieldValue(FFields[Index], Value);
}

std::uint64_t TFieldValues::UInt(std::string_view Name) const {
  return Get(Name).toULongLong();
}
TMoney TFieldValues::Money(std::string_view Name) const {
  return Get(Name).value<TMoney>();
}
double TFieldValues::Quantity(std::string_view Name) const {
  return Get(Name).toDouble();
}
QString TFieldValues::Text(std::string_view Name) const {
  return Get(Name).toString();
}
QByteArray TFieldValues::Bytes(std::string_view Name) const {
  return Get(Name).toByteArray();
}
QDate TFieldValues::Date(std::string_view Name) const {
  return Get(Name).toDate();
}
QTime TFieldValues::Time(std::string_view Name) const {
  return Get(Name).toTime();
}

// ---- Blocks ----------------------------------------------------------------

QVariant ZeroValue(TWireType Type) {
  switch (Type) {
    case W::UInt:
    case W::Bits:
      return QVariant::fromValue<quint64>(0);
    case W::Money:
      return QVariant::fromValue(TMoney());
    case W::Quantity:
      return QVariant::fromValue(0.0);
    case W::Text:
      return QVariant::fromValue(QString());
    case W::Bytes:
      return QVariant::fromValue(QByteArray());
    case W::Date:
      return QVariant::fromValue(QDate());
    case W::Time:
      return QVariant::fromValue(QTime(0, 0));
  }
  return {};
}

std::uint16_t BlockCode(std::string_view Block) {
  if (Block.empty()) Fail(ECodecError::TKind::BadLength, "empty block");
  const auto First = static_cast<unsigned char>(Block[0]);
  if (First != 0xFF) return First;
  if (Block.size() < 2) Fail(ECodecError::TKind::BadLength, "two-byte code cut short");
  return static_cast<std::uint16_t>(0xFF00 | static_cast<unsigned char>(Block[1]));
}

std::string EncodeRequest(const TCommandDef& Command, std::uint32_t Password,
                          const TFieldValues& Fields) {
  std::string Out = CodeBytes(Command.Code);
  if (Command.HasPassword) PutUInt(Out, Password, 4);
  Out += EncodeFields(Command.Request, Fields);
  CheckLength(Out, Command);
  return Out;
}

TRequest DecodeRequest(std::string_view Block) {
  const std::uint16_t Code = BlockCode(Block);
  const TCommandDef* Command = FindCommand(Code);
  if (!Command) Fail(ECodecError::TKind::UnknownCommand, "unknown command " + CodeText(Code));
  std::string_view Rest = Block.substr(Code > 0xFF ? 2 : 1);
  TRequest Out;
  Out.Command = Command;
  if (Command->HasPassword) {
    if (Rest.size() < 4) Fail(ECodecError::TKind::BadLength, Command->Name + ": no password");
    Out.Password = static_cast<std::uint32_t>(GetUInt(Rest, 4));
    Rest.remove_prefix(4);
  }
  Out.Fields = DecodeFields(Command->Request, Rest, Command->Name);
  return Out;
}

std::string ErrorAnswer(std::uint16_t Code, int Error) {
  std::string Out = CodeBytes(Code);
  Out.push_back(static_cast<char>(Error & 0xFF));
  return Out;
}

std::string EncodeAnswer(const TCommandDef& Command, int Error, const TFieldValues& Fields) {
  std::string Out = ErrorAnswer(Command.Code, Error);
  if (Error == 0) Out += EncodeFields(Command.Answer, Fields);
  CheckLength(Out, Command);
  return Out;
}

TAnswer DecodeAnswer(const TCommandDef& Command, std::string_view Block) {
  const std::uint16_t Code = BlockCode(Block);
  if (Code != Command.Code) {
    Fail(ECodecError::TKind::BadLength,
         Command.Name + ": answer to another command " + CodeText(Code));
  }
  std::string_view Rest = Block.substr(Code > 0xFF ? 2 : 1);
  if (Rest.empty()) Fail(ECodecError::TKind::BadLength, Command.Name + ": no error byte");
  TAnswer Out;
  Out.Command = &Command;
  Out.Error = static_cast<unsigned char>(Rest[0]);
  Rest.remove_prefix(1);
  if (Out.Error != 0) {
    Out.Fields = TFieldValues(Command.Answer);
  } else {
    Out.Fields = DecodeFields(Command.Answer, Rest, Command.Name);
  }
  return Out;
}

// ---- Bindings --------------------------------------------------------------

namespace {

[[noreturn]] void BadBinding(const TFieldDef& Field, TPropertyId Id) {
  throw std::logic_error("field " + Field.Name + " cannot bind to " + PropertyName(Id));
}

QVariant FromProperty(const TFieldDef& Field, TPropertyId Id, const QVariant& Value) {
  const TValueType Type = PropertyType(Id);
  switch (Field.Type) {
    case W::UInt:
      switch (Type) {
        case TValueType::Int:
          // A negative 32-bit property stands for its unsigned value.
          if (Value.toInt() < 0 && Field.Size >= 4) {
            return QVariant::fromValue<quint64>(static_cast<quint32>(Value.toInt()));
          }
          return Value;
        case TValueType::Int64:
        case TValueType::Bool:
          return Value;
        case TValueType::Variant:
          return Value.metaType().id() == QMetaType::Bool ? Value
                                                          : QVariant::fromValue(Value.toLongLong());
        case TValueType::Double:
          return QVariant::fromValue(static_cast<qint64>(std::llround(Value.toDouble())));
        case TValueType::Text: {
          const QString T = Value.toString().trimmed();
          if (T.isEmpty()) return QVariant::fromValue<quint64>(0);
          bool Ok = false;
          const quint64 V = T.toULongLong(&Ok);
          if (!Ok) Fail(ECodecError::TKind::BadValue, Field.Name + ": not a number");
          return QVariant::fromValue(V);
        }
        default:
          break;
      }
      break;
    case W::Money:
      if (Type == TValueType::Money) return Value;
      break;
    case W::Quantity:
      if (Type == TValueType::Double) return Value;
      break;
    case W::Text:
      if (Type == TValueType::Text) return Value;
      break;
    case W::Bytes:
      if (Type == TValueType::Bytes) return Value;
      if (Type == TValueType::Text) {
        QString T = Value.toString();
        T.remove(QChar(' '));
        const auto B = varkon::HexDecodePairs(T.toStdString());
        if (!B || T.size() % 2 != 0) Fail(ECodecError::TKind::BadValue, Field.Name + ": not hex");
        return QVariant::fromValue(QByteArray(B->data(), static_cast<qsizetype>(B->size())));
      }
      break;
    case W::Date:
      if (Type == TValueType::Date) return Value;
      if (Type == TValueType::DateTime) return QVariant::fromValue(Value.toDateTime().date());
      break;
    case W::Time:
      if (Type == TValueType::Time) return Value;
      break;
    case W::Bits:
      break;
  }
  BadBinding(Field, Id);
}

QVariant ToProperty(const TFieldDef& Field, TPropertyId Id, const QVariant& Value) {
  const TValueType Type = PropertyType(Id);
  switch (Field.Type) {
    case W::UInt: {
      const quint64 V = Value.toULongLong();
      switch (Type) {
        case TValueType::Int:
          return QVariant::fromValue(static_cast<int>(static_cast<quint32>(V)));
        case TValueType::Int64:
          return QVariant::fromValue(static_cast<qint64>(V));
        case TValueType::Bool:
          return QVariant::fromValue(V != 0);
        case TValueType::Text:
          return QVariant::fromValue(QString::number(V));
        case TValueType::Double:
          return QVariant::fromValue(static_cast<double>(V));
        case TValueType::Variant:
          return QVariant::fromValue(static_cast<qint64>(V));
        default:
          break;
      }
      break;
    }
    case W::Money:
      if (Type == TValueType::Money) return Value;
      break;
    case W::Quantity:
      if (Type == TValueType::Double) return Value;
      break;
    case W::Text:
      if (Type == TValueType::Text) return Value;
      break;
    case W::Bytes:
      if (Type == TValueType::Bytes) return Value;
      if (Type == TValueType::Text) {
        const QByteArray B = Value.toByteArray();
        return QVariant::fromValue(
            QString::fromStdString(varkon::HexSpaced(std::string_view(B.constData(), B.size()))));
      }
      break;
    case W::Date:
      if (Type == TValueType::Date) return Value;
      if (Type == TValueType::DateTime) {
        return QVariant::fromValue(QDateTime(Value.toDate(), QTime(0, 0)));
      }
      break;
    case W::Time:
      if (Type == TValueType::Time) return Value;
      break;
    case W::Bits:
      break;
  }
  BadBinding(Field, Id);
}

}  // namespace

void ReadBindings(TFieldValues& Fields, const TPropertyGetter& Get) {
  const auto Defs = Fields.Fields();
  for (std::size_t I = 0; I < Defs.size(); ++I) {
    const TFieldDef& D = Defs[I];
    if (D.Bind.empty()) continue;
    if (D.Type == W::Bits) {
      quint64 Byte = 0;
      for (std::size_t B = 0; B < D.Bind.size(); ++B) {
        if (PropertyType(D.Bind[B]) != TValueType::Bool) BadBinding(D, D.Bind[B]);
        if (Get(D.Bind[B]).toBool()) Byte |= quint64{1} << B;
      }
      Fields.SetAt(static_cast<int>(I), QVariant::fromValue(Byte));
    } else {
      Fields.SetAt(static_cast<int>(I), FromProperty(D, D.Bind[0], Get(D.Bind[0])));
    }
  }
}

void WriteBindings(const TFieldValues& Fields, const TPropertySetter& Set) {
  const auto Defs = Fields.Fields();
  for (std::size_t I = 0; I < Defs.size(); ++I) {
    const TFieldDef& D = Defs[I];
    if (D.Bind.empty()) continue;
    const QVariant& V = Fields.At(static_cast<int>(I));
    if (D.Type == W::Bits) {
      for (std::size_t B = 0; B < D.Bind.size(); ++B) {
        if (PropertyType(D.Bind[B]) != TValueType::Bool) BadBinding(D, D.Bind[B]);
        Set(D.Bind[B], QVariant::fromValue(((V.toULongLong() >> B) & 1) != 0));
      }
    } else {
      Set(D.Bind[0], ToProperty(D, D.Bind[0], V));
    }
  }
}

}  // namespace tessel
