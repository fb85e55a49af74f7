#pragma once
// The wizard's pages as data: the fixed registration order with the page
// captions, the page graph of every job, and the work-type page's choices.

#include <QString>
#include <vector>

class TController;

struct TPageInfo {
  const char* ClassName;
  const char* Caption;  // catalogue message id
};

// The 31 page classes in registration order.
const std::vector<TPageInfo>& PageOrder();
// The caption of a page class (translated), empty for an unknown class.
QString PageCaption(const QString& ClassName);

// One arrow of the page graph: the NextPageClass that the page's Next sets
// under a condition ("" for always; otherwise the condition's name, such as
// "X5Mode", "!X5Mode", "Ethernet"). Next "" means the wizard stays.
struct TPageEdge {
  const char* Page;
  const char* Condition;
  const char* Next;
};
const std::vector<TPageEdge>& PageGraph();

// Work-type list items: the first five always, the sixth when model parameter
// 73 is above 0.
QStringList WorkTypeItems(bool OFDEnabled);
// Applies the choice of item Index to the controller (its settings and its
// NextPageClass); an index outside the list changes nothing but
// IsOFDSettingMode and returns false.
bool ApplyWorkType(TController& Controller, int Index);
