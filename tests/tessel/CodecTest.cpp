// The command table and its codec: every command round-trips with sample
// values on both sides and through the property bindings; the layouts that
// other programs rely on stand where they must.

#include "tessel/Codec.h"

#include <gtest/gtest.h>

#include <map>

#include "common/text/Hex.h"
#include "tessel/CommandTable.h"

using namespace tessel;

namespace {

// A sample value for a field, different per field index and seed.
QVariant Sample(const TFieldDef& Field, int Index, int Seed) {
  const int K = Index + Seed;
  switch (Field.Type) {
    case TWireType::UInt: {
      const quint64 Max = Field.Size >= 8 ? ~quint64{0} : (quint64{1} << (8 * Field.Size)) - 1;
      return QVariant::fromValue<quint64>((0x0102030405060708ULL * (K + 1)) & Max);
    }
    case TWireType::Bits:
      return QVariant::fromValue<quint64>((0x5A + K) & ((1u << Field.Bind.size()) - 1));
    case TWireType::Money:
      return QVariant::fromValue(TMoney::FromUnits((K % 2 ? -1 : 1) * (123456700LL + K * 100)));
    case TWireType::Quantity:
      return QVariant::fromValue(1.5 + K * 0.000001);
    case TWireType::Text: {
      const QString T = QStringLiteral("Текст %1").arg(K);
      return QVariant::fromValue(Field.Size > 0 ? T.left(Field.Size) : T);
    }
    case TWireType::Bytes:
      return QVariant::fromValue(QByteArray(Field.Size > 0 ? Field.Size : 3, char(K)));
    case TWireType::Date:
      return QVariant::fromValue(QDate(2020 + K % 50, 1 + K % 12, 1 + K % 28));
    case TWireType::Time:
      return QVariant::fromValue(QTime(K % 24, (K * 7) % 60, (K * 13) % 60));
  }
  return {};
}

TFieldValues Samples(std::span<const TFieldDef> Fields, int Seed) {
  TFieldValues V(Fields);
  for (std::size_t I = 0; I < Fields.size(); ++I) {
    V.SetAt(static_cast<int>(I), Sample(Fields[I], static_cast<int>(I), Seed));
  }
  return V;
}

void ExpectSame(const TFieldValues& A, const TFieldValues& B, const std::string& What) {
  ASSERT_EQ(A.Fields().size(), B.Fields().size()) << What;
  for (std::size_t I = 0; I < A.Fields().size(); ++I) {
    EXPECT_EQ(A.At(static_cast<int>(I)), B.At(static_cast<int>(I)))
        << What << "." << A.Fields()[I].Name;
  }
}

std::string Bytes(const char* Hex) {
  std::string T(Hex);
  std::erase(T, ' ');
  return *varkon::HexDecodePairs(T);
}

}  // namespace

TEST(CommandTableTest, EveryCommandRoundTripsOnBothSides) {
  ASSERT_FALSE(AllCommands().empty());
  for (const TCommandDef& C : AllCommands()) {
    SCOPED_TRACE(C.Name);
    const TFieldValues Request = Samples(C.Request, 1);
    const std::string Block = EncodeRequest(C, 0x01020304u, Request);
    EXPECT_LE(Block.size(), 255u);
    EXPECT_EQ(BlockCode(Block), C.Code);
    const TRequest Decoded = DecodeRequest(Block);
    EXPECT_EQ(Decoded.Command, &C);
    EXPECT_EQ(Decoded.Password, C.HasPassword ? 0x01020304u : 0u);
    ExpectSame(Request, Decoded.Fields, C.Name + " request");

    const TFieldValues Answer = Samples(C.Answer, 2);
    const std::string AnswerBlock = EncodeAnswer(C, 0, Answer);
    EXPECT_LE(AnswerBlock.size(), 255u);
    const TAnswer Back = DecodeAnswer(C, AnswerBlock);
    EXPECT_EQ(Back.Error, 0);
    ExpectSame(Answer, Back.Fields, C.Name + " answer");

    const TAnswer Failed = DecodeAnswer(C, EncodeAnswer(C, 0x5D, Answer));
    EXPECT_EQ(Failed.Error, 0x5D);
    ExpectSame(TFieldValues(C.Answer), Failed.Fields, C.Name + " error answer");
  }
}

// Properties into a request and out of the device, and the answer back into
// properties: every binding of the table converts both ways.
TEST(CommandTableTest, EveryBindingCarriesItsPropertyBothWays) {
  for (const TCommandDef& C : AllCommands()) {
    SCOPED_TRACE(C.Name);
    for (const bool AnswerSide : {false, true}) {
      const auto& Defs = AnswerSide ? C.Answer : C.Request;
      // Property values made from the field samples, as a driver would hold them.
      std::map<TPropertyId, QVariant> Source;
      WriteBindings(Samples(Defs, 3), [&](TPropertyId Id, const QVariant& V) { Source[Id] = V; });
      TFieldValues Fields(Defs);
      ReadBindings(Fields, [&](TPropertyId Id) { return Source.at(Id); });
      const std::string Block =
          AnswerSide ? EncodeAnswer(C, 0, Fields) : EncodeRequest(C, 0, Fields);
      const TFieldValues Back =
          AnswerSide ? DecodeAnswer(C, Block).Fields : DecodeRequest(Block).Fields;
      std::map<TPropertyId, QVariant> Target;
      WriteBindings(Back, [&](TPropertyId Id, const QVariant& V) { Target[Id] = V; });
      EXPECT_EQ(Source, Target);
    }
  }
}

TEST(CommandTableTest, MethodsHaveAtMostOneCommandAndCodesAreOrdered) {
  std::uint16_t Last = 0;
  bool First = true;
  for (const TCommandDef& C : AllCommands()) {
    if (!First) {
      EXPECT_LT(Last, C.Code);
    }
    First = false;
    Last = C.Code;
    EXPECT_EQ(FindCommand(C.Code), &C);
    for (TMethodId M : C.Methods) EXPECT_EQ(CommandOfMethod(M), &C) << MethodName(M);
  }
  EXPECT_EQ(FindCommand(0xFE), nullptr);
  EXPECT_EQ(CommandOfMethod(TMethodId::LoadImage), nullptr);
}

// The status record is the 50 bytes the shared-port server reads: the mode
// byte stands at offset 15 of the data, the answer is 52 bytes.
TEST(CommandTableTest, StatusAnswerHasTheFiftyByteRecord) {
  const TCommandDef& C = *FindCommand(cmd::kStatus);
  EXPECT_TRUE(C.HasPassword);
  TFieldValues A(C.Answer);
  A.Set("ModeFr", 0x28);
  A.Set("SerialNumber", 0x11223344);
  A.Set("Date", QDate(2026, 12, 11));
  const std::string Block = EncodeAnswer(C, 0, A);
  ASSERT_EQ(Block.size(), 52u);
  EXPECT_EQ(Block.substr(0, 2), Bytes("11 00"));
  EXPECT_EQ(static_cast<unsigned char>(Block[2 + 15]), 0x28);
  EXPECT_EQ(Block.substr(2 + 27, 3), Bytes("0B 0C 1A"));
  EXPECT_EQ(Block.substr(2 + 34, 4), Bytes("44 33 22 11"));
  EXPECT_EQ(EncodeRequest(C, 30, TFieldValues(C.Request)), Bytes("11 1E 00 00 00"));
  EXPECT_EQ(EncodeRequest(*FindCommand(cmd::kCancelCheck), 30, {}), Bytes("88 1E 00 00 00"));
}

TEST(CommandTableTest, WireFormsOfTheValueTypes) {
  const TCommandDef& Sale = *FindCommand(cmd::kSale);
  TFieldValues R(Sale.Request);
  R.Set("Quantity", 2.5);
  R.Set("Price", QVariant::fromValue(TMoney::FromUnits(123400)));  // 12.34
  R.Set("Department", 3);
  R.Set("Tax1", 1);
  R.Set("Text", QStringLiteral("Хлеб"));
  EXPECT_EQ(EncodeRequest(Sale, 0x0A0B0C0D, R),
            Bytes("80 0D 0C 0B 0A  A0 25 26 00 00  D2 04 00 00 00  03  01 00 00 00  D5 EB E5 E1"));

  // Negative money is two's complement in five bytes (after the operator
  // number that every answer to a command with a password starts with).
  const TCommandDef& Reg = *FindCommand(cmd::kCashReg);
  TFieldValues A(Reg.Answer);
  A.Set("Value", QVariant::fromValue(TMoney::FromUnits(-100)));
  A.Set("Name", QStringLiteral("Итог"));
  EXPECT_EQ(EncodeAnswer(Reg, 0, A), Bytes("62 00 00 FF FF FF FF FF C8 F2 EE E3"));
  EXPECT_EQ(DecodeAnswer(Reg, Bytes("62 00 01 FF FF FF FF FF C8 F2 EE E3")).Fields.Money("Value"),
            TMoney::FromUnits(-100));

  const TCommandDef& Time = *FindCommand(cmd::kSetTime);
  TFieldValues T(Time.Request);
  T.Set("Time", QTime(23, 59, 7));
  EXPECT_EQ(EncodeRequest(Time, 0, T), Bytes("32 00 00 00 00 17 3B 07"));
}

// A two-byte code: FF, the second byte, the password; the answer's error byte
// is the third.
TEST(CommandTableTest, TwoByteCodesStandAtTheHeadOfBothBlocks) {
  const TCommandDef& C = *FindCommand(cmd::kFNSerial);
  EXPECT_EQ(CodeText(C.Code), "FF 02");
  EXPECT_EQ(EncodeRequest(C, 30, TFieldValues(C.Request)), Bytes("FF 02 1E 00 00 00"));
  TFieldValues A(C.Answer);
  A.Set("SerialNumber", QStringLiteral("9999078900001234"));
  const std::string Answer = EncodeAnswer(C, 0, A);
  EXPECT_EQ(Answer.substr(0, 3), Bytes("FF 02 00"));
  EXPECT_EQ(DecodeAnswer(C, Answer).Fields.Text("SerialNumber"),
            QStringLiteral("9999078900001234"));
  EXPECT_EQ(EncodeAnswer(C, 0x37, A), Bytes("FF 02 37"));
  EXPECT_EQ(DecodeAnswer(C, Bytes("FF 02 37")).Error, 0x37);
  EXPECT_EQ(DecodeRequest(Bytes("FF 02 1E 00 00 00")).Command, &C);
}

TEST(CommandTableTest, FixedTextIsCutAndRestTextMustFitTheBlock) {
  const TCommandDef& C = *FindCommand(cmd::kTableStruct);
  TFieldValues A(C.Answer);
  A.Set("Name", QString(50, QChar('x')));
  const TAnswer Back = DecodeAnswer(C, EncodeAnswer(C, 0, A));
  EXPECT_EQ(Back.Fields.Text("Name"), QString(40, QChar('x')));

  const TCommandDef& P = *FindCommand(cmd::kPrintString);
  TFieldValues R(P.Request);
  R.Set("Text", QString(249, QChar('y')));
  EXPECT_EQ(EncodeRequest(P, 0, R).size(), 255u);
  R.Set("Text", QString(250, QChar('y')));
  try {
    EncodeRequest(P, 0, R);
    FAIL() << "a block of 256 bytes";
  } catch (const ECodecError& E) {
    EXPECT_EQ(E.Kind(), ECodecError::TKind::TooLong);
  }
}

TEST(CommandTableTest, BlocksThatDoNotFitTheTableAreRejected) {
  using K = ECodecError::TKind;
  const struct {
    const char* Block;
    K Kind;
  } Cases[] = {
      {"", K::BadLength},
      {"FF", K::BadLength},
      {"FE 00 00 00 00", K::UnknownCommand},
      {"11 01 02", K::BadLength},                // password cut short
      {"11 00 00 00 00 01", K::BadLength},       // a byte too many
      {"30 00 00 00 00 0B 0C", K::BadLength},    // date cut short
      {"30 00 00 00 00 20 0D 1A", K::BadValue},  // 32.13.26
      {"32 00 00 00 00 18 00 00", K::BadValue},  // 24:00:00
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Block);
    try {
      DecodeRequest(Bytes(Case.Block));
      ADD_FAILURE() << "decoded";
    } catch (const ECodecError& E) {
      EXPECT_EQ(E.Kind(), Case.Kind) << E.what();
    }
  }
  // An answer to another command, or without its error byte.
  const TCommandDef& Beep = *FindCommand(cmd::kBeep);
  EXPECT_THROW(DecodeAnswer(Beep, Bytes("11 00")), ECodecError);
  EXPECT_THROW(DecodeAnswer(Beep, Bytes("18")), ECodecError);
  EXPECT_EQ(DecodeAnswer(Beep, Bytes("18 37 01 02")).Error, 0x37);
}

TEST(CommandTableTest, ValuesThatDoNotFitTheirFieldAreRejected) {
  const TCommandDef& C = *FindCommand(cmd::kReadTable);
  TFieldValues R(C.Request);
  EXPECT_THROW(R.Set("Table", 256), ECodecError);
  EXPECT_THROW(R.Set("Row", -1), ECodecError);
  EXPECT_THROW(R.Set("Row", QStringLiteral("1")), ECodecError);
  EXPECT_THROW(R.Set("Nothing", 1), std::invalid_argument);
  R.Set("Row", 65535);
  EXPECT_EQ(R.UInt("Row"), 65535u);
  // Through a binding: a property value out of the field's range.
  EXPECT_THROW(ReadBindings(R,
                            [](TPropertyId Id) {
                              return QVariant::fromValue(Id == TPropertyId::TableNumber ? 300 : 1);
                            }),
               ECodecError);
}
