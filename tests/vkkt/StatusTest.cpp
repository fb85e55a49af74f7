// Commands that Halden sends itself: 0x11 status and 0x88 receipt cancel.

#include <gtest/gtest.h>

#include "tessel/vkkt/Device.h"
#include "tessel/vkkt/DeviceErrors.h"

using namespace vkkt;

namespace {

QByteArray Block(std::uint8_t Code, std::uint32_t Password) {
  QByteArray B(1, static_cast<char>(Code));
  for (int I = 0; I < 4; ++I) B += static_cast<char>((Password >> (8 * I)) & 0xFF);
  return B;
}

std::uint64_t Le(const QByteArray& B, int Offset, int Size) {
  std::uint64_t V = 0;
  for (int I = 0; I < Size; ++I)
    V |= static_cast<std::uint64_t>(static_cast<std::uint8_t>(B[Offset + I])) << (8 * I);
  return V;
}

}  // namespace

TEST(VkktStatus, TheStatusAnswerIsTheFiftyByteRecordFieldByField) {
  TDevice D;
  D.SetClock(QDateTime(QDate(2026, 3, 7), QTime(13, 45, 59), Qt::UTC));
  TItem I;
  I.Price = 100;
  ASSERT_EQ(D.Register(3, TReceiptType::Buy, I), kOk);  // opens shift 1 and a buy receipt
  const QByteArray A = D.Execute(Block(0x11, 3));
  ASSERT_EQ(A.size(), 2 + 50);
  EXPECT_EQ(static_cast<std::uint8_t>(A[0]), 0x11);
  EXPECT_EQ(A[1], 0);
  const QByteArray S = A.mid(2);
  EXPECT_EQ(Le(S, 0, 1), 3u);                      // OperatorNumber
  EXPECT_EQ(S.mid(1, 4), QByteArray("D.1\0", 4));  // VersionFR
  EXPECT_EQ(Le(S, 5, 2), 2051u);                   // BuildFR
  EXPECT_EQ(Le(S, 7, 1), 15u);                     // DayFR
  EXPECT_EQ(Le(S, 8, 1), 3u);                      // MonthFR
  EXPECT_EQ(Le(S, 9, 1), 21u);                     // YearFR
  EXPECT_EQ(Le(S, 10, 1), 1u);                     // LogicalNumber
  EXPECT_EQ(Le(S, 11, 2), 1u);                     // DocNumber: the shift opening
  EXPECT_EQ(Le(S, 15, 1) & 0x0F, 8u);              // ModeFr: receipt open
  EXPECT_EQ(Le(S, 15, 1) >> 4, 1u);                //   of type buy
  EXPECT_EQ(Le(S, 16, 1), 0u);                     // AdvansedModeFR
  EXPECT_EQ(Le(S, 27, 1), 7u);                     // Day
  EXPECT_EQ(Le(S, 28, 1), 3u);                     // Month
  EXPECT_EQ(Le(S, 29, 1), 26u);                    // Year
  EXPECT_EQ(Le(S, 30, 1), 13u);                    // Hour
  EXPECT_EQ(Le(S, 31, 1), 45u);                    // Minute
  EXPECT_EQ(Le(S, 32, 1), 59u);                    // Second
  EXPECT_EQ(Le(S, 34, 4), 12345678u);              // SerialNumber
  EXPECT_EQ(Le(S, 38, 2), 0u);                     // SessionNumber: none closed yet
  EXPECT_EQ(Le(S, 44, 6), 0u);                     // INN before registration
}

TEST(VkktStatus, ModeFrFollowsTheShift) {
  TDevice D;
  auto Mode = [&D] { return static_cast<std::uint8_t>(D.Execute(Block(0x11, 30))[2 + 15]); };
  EXPECT_EQ(Mode(), kModeShiftClosed);
  ASSERT_EQ(D.OpenSession(1), kOk);
  EXPECT_EQ(Mode(), kModeShiftOpen);
  D.AdvanceClock(25 * 3600);
  EXPECT_EQ(Mode(), kModeShiftOver24Hours);
}

TEST(VkktStatus, CancelCommandCancelsTheOpenReceipt) {
  TDevice D;
  TItem I;
  I.Price = 5000;
  ASSERT_EQ(D.Register(1, TReceiptType::Sale, I), kOk);
  ASSERT_EQ(D.ECRMode(), kModeReceiptOpen);
  EXPECT_EQ(D.Execute(Block(0x88, 1)), QByteArray::fromHex("880001"));  // operator 1
  EXPECT_EQ(D.ECRMode(), kModeShiftOpen);
  // Nothing to cancel any more: the device says so in its error byte.
  EXPECT_EQ(D.Execute(Block(0x88, 1)), QByteArray("\x88", 1) + char(kNoReceipt));
}

TEST(VkktStatus, MalformedAndUnknownBlocks) {
  TDevice D;
  EXPECT_EQ(D.Execute(QByteArray::fromHex("1101")), QByteArray::fromHex("11") + char(kBadLength));
  EXPECT_EQ(D.Execute(Block(0x11, 777)), QByteArray::fromHex("11") + char(kWrongPassword));
  EXPECT_EQ(D.Execute(QByteArray::fromHex("FF7F")),
            QByteArray::fromHex("FF7F") + char(kUnknownCommand));
  EXPECT_EQ(D.Execute(QByteArray()), QByteArray());
}
