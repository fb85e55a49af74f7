#pragma once
// The about box: the program's icon, title and version, and an OK button.

#include <QDialog>

#include <string>

class QLabel;

class TfmAbout : public QDialog {
  Q_OBJECT

 public:
  TfmAbout(const std::string& Title, const std::string& Version, QWidget* Parent = nullptr);

  QLabel* lblTitle;
  QLabel* lblVersion;
};

// Halden's icon, drawn: a receipt coming out of a cash register.
class QIcon;
QIcon HaldenIcon();
