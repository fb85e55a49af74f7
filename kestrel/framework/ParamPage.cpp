#include "kestrel/framework/ParamPage.h"

#include <QMetaObject>
#include <algorithm>
#include <map>

#include "kestrel/framework/PageGraph.h"

TParamPage::TParamPage(QWidget* Parent) : QWidget(Parent) {}

TParamPage::~TParamPage() {
  SetOwner(nullptr);
}

QString TParamPage::Caption() const {
  for (const QMetaObject* M = metaObject(); M; M = M->superClass()) {
    const QString Text = PageCaption(QString::fromLatin1(M->className()));
    if (!Text.isEmpty()) return Text;
  }
  return {};
}

bool TParamPage::IsOfClass(const QString& ClassName) const {
  for (const QMetaObject* M = metaObject(); M; M = M->superClass())
    if (ClassName == QLatin1String(M->className())) return true;
  return false;
}

void TParamPage::SetOwner(TParamPages* Owner) {
  if (FOwner) {
    auto& L = FOwner->FList;
    L.erase(std::remove(L.begin(), L.end(), this), L.end());
  }
  FOwner = Owner;
  if (FOwner) FOwner->FList.push_back(this);
}

int TParamPage::GetIndex() const {
  return FOwner ? FOwner->IndexOf(this) : -1;
}

TParamPages::~TParamPages() {
  while (!FList.empty()) delete FList.front();
}

TParamPage* TParamPages::GetItem(int Index) const {
  return Index >= 0 && Index < GetCount() ? FList[Index] : nullptr;
}

int TParamPages::IndexOf(const TParamPage* Page) const {
  auto It = std::find(FList.begin(), FList.end(), Page);
  return It == FList.end() ? -1 : static_cast<int>(It - FList.begin());
}

int TParamPages::PageIndexByTag(int Tag) const {
  for (int I = 0; I < GetCount(); ++I)
    if (FList[I]->property("Tag").toInt() == Tag) return I;
  return -1;
}

int TParamPages::IndexByClass(const QString& ClassName) const {
  for (int I = 0; I < GetCount(); ++I)
    if (FList[I]->IsOfClass(ClassName)) return I;
  return -1;
}

TParamPage* TParamPages::PageByClass(const QString& ClassName) const {
  return GetItem(IndexByClass(ClassName));
}

void TParamPages::CloseEvent() {
  for (TParamPage* P : std::vector<TParamPage*>(FList)) P->CloseEvent();
}

void TParamPages::UpdatePage() {
  for (TParamPage* P : std::vector<TParamPage*>(FList)) P->UpdatePage();
}

void TParamPages::UpdateObject() {
  for (TParamPage* P : std::vector<TParamPage*>(FList)) P->UpdateObject();
}

namespace {
std::map<QString, TPageFactory>& Factories() {
  static std::map<QString, TPageFactory> Map;
  return Map;
}
}  // namespace

void RegisterPageClass(const QString& ClassName, TPageFactory Factory) {
  Factories()[ClassName] = std::move(Factory);
}

TPageFactory PageFactoryOf(const QString& ClassName) {
  auto It = Factories().find(ClassName);
  return It == Factories().end() ? TPageFactory() : It->second;
}
