#pragma once
// The page base of the wizard and the ordered list that owns the pages.

#include <QString>
#include <QWidget>
#include <functional>
#include <vector>

class TParamPages;

class TParamPage : public QWidget {
  Q_OBJECT

 public:
  explicit TParamPage(QWidget* Parent = nullptr);
  ~TParamPage() override;

  virtual QString GetInfo() { return {}; }
  virtual void CloseEvent() {}
  // Refuses to go on by raising EKestrelError; sets Controller().NextPageClass.
  virtual void Next() {}
  virtual void Prev() {}
  virtual void UpdatePage() {}
  virtual void SetDefaults() {}
  virtual void UpdateObject() {}
  virtual void Home() {}
  // The on-show logic, run by the main window's ShowPage after the page became
  // visible. An error it raises is shown; the page stays on screen.
  virtual void Activate() {}

  // The header text: the caption of the page's class in the page order.
  QString Caption() const;
  // True when the page is of the class or derives from it.
  bool IsOfClass(const QString& ClassName) const;

  void SetOwner(TParamPages* Owner);
  TParamPages* Owner() const { return FOwner; }
  int GetIndex() const;

  TParamPage* PrevPage = nullptr;

 private:
  TParamPages* FOwner = nullptr;
};

class TParamPages {
 public:
  TParamPages() = default;
  TParamPages(const TParamPages&) = delete;
  TParamPages& operator=(const TParamPages&) = delete;
  // Destroys every page still in the list, always the first one.
  ~TParamPages();

  int GetCount() const { return static_cast<int>(FList.size()); }
  TParamPage* GetItem(int Index) const;
  int IndexOf(const TParamPage* Page) const;
  int PageIndexByTag(int Tag) const;
  TParamPage* PageByClass(const QString& ClassName) const;
  int IndexByClass(const QString& ClassName) const;

  void CloseEvent();
  void UpdatePage();
  void UpdateObject();

 private:
  friend class TParamPage;
  std::vector<TParamPage*> FList;
};

// Page classes register a factory under their class name; the main window
// creates those present in the fixed page order.
using TPageFactory = std::function<TParamPage*()>;
void RegisterPageClass(const QString& ClassName, TPageFactory Factory);
// The factory of a class, or an empty function.
TPageFactory PageFactoryOf(const QString& ClassName);
// Registers the pages of this framework (the first page, the work-type page
// and the link-check pages).
void RegisterFrameworkPages();
