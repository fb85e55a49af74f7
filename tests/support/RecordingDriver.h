#pragma once
// A driver for tests of pages: it records every method call together with the
// properties set since the previous call, and answers from a script.
//
//   TRecordingDriver Driver;
//   Driver.Script(TMethodId::ReadTable,
//                 {0, {{TPropertyId::ValueOfFieldString, QStringLiteral("ООО Ромашка")}}});
//   Driver.Script(TMethodId::ReadTable, kResultFieldMissing);
//   ... the page runs ...
//   EXPECT_THAT(Driver.MethodNames(), ElementsAre("ReadTable", "ReadTable"));
//   EXPECT_EQ(Driver.Calls()[0].Setting(TPropertyId::FieldNumber), 7);
//
// Each method has its own queue of answers, used in order; a method whose
// queue is empty answers its default (ScriptDefault), else code 0 without
// outputs. An answer stores its outputs, then ResultCode and
// ResultCodeDescription, before the call returns. Reads are not recorded, nor
// are Preset values and outputs.

#include <QString>
#include <deque>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "driver/ResultCodes.h"
#include "driver/StoredDriver.h"

class TRecordingDriver : public TStoredDriver {
 public:
  struct TSetting {
    TPropertyId Property;
    QVariant Value;
  };

  struct TCall {
    TMethodId Method;
    std::vector<TSetting> Settings;  // in the order they were made, repeats included

    // The value last set for the property before this call; invalid if none.
    QVariant Setting(TPropertyId Property) const;
    bool HasSetting(TPropertyId Property) const;
    // "WriteTable(TableNumber=18, RowNumber=1, ValueOfFieldString=\"abc\")"
    std::string ToString() const;
  };

  struct TAnswer {
    TAnswer(int Code = kResultOk, std::vector<TSetting> Outputs = {}, QString Description = {})
        : Code(Code), Outputs(std::move(Outputs)), Description(std::move(Description)) {}

    int Code;
    std::vector<TSetting> Outputs;  // stored in this order
    QString Description;            // ResultCodeDescription
  };

  // Queues an answer for a later call of the method.
  void Script(TMethodId Method, TAnswer Answer);
  // The answer of the method's calls once its queue is empty.
  void ScriptDefault(TMethodId Method, TAnswer Answer);
  // Sets a property without recording it: a state the device reports.
  void Preset(TPropertyId Property, const QVariant& Value);

  std::vector<TCall> Calls() const;
  // The methods called, in order; std::string for gMock matchers.
  std::vector<std::string> MethodNames() const;
  // Every call as TCall::ToString, in order.
  std::vector<std::string> Transcript() const;
  // Properties set since the last call.
  std::vector<TSetting> PendingSettings() const;
  // True when every queued answer has been used.
  bool ScriptUsedUp() const;
  // Forgets the calls and pending settings; scripts stay.
  void ForgetCalls();

 private:
  void DoSetValue(TPropertyId Id, const QVariant& Value) override;
  int DoCall(TMethodId Id) override;

  std::vector<TCall> FCalls;
  std::vector<TSetting> FPending;
  std::map<TMethodId, std::deque<TAnswer>> FQueues;
  std::map<TMethodId, TAnswer> FDefaults;
};
