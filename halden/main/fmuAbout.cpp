#include "halden/main/fmuAbout.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include "common/text/Intl.h"

TfmAbout::TfmAbout(const std::string& Title, const std::string& Version, QWidget* Parent)
    : QDialog(Parent) {
  setWindowTitle(QString::fromUtf8(_("О программе")));
  auto* icon = new QLabel;
  icon->setPixmap(HaldenIcon().pixmap(64, 64));
  lblTitle = new QLabel(QString::fromStdString(Title));
  QFont big = lblTitle->font();
  big.setPointSizeF(big.pointSizeF() * 1.5);
  big.setBold(true);
  lblTitle->setFont(big);
  lblVersion = new QLabel(QString::fromStdString(Version));

  auto* texts = new QVBoxLayout;
  texts->addWidget(lblTitle);
  texts->addWidget(lblVersion);
  texts->addStretch();
  auto* top = new QHBoxLayout;
  top->addWidget(icon, 0, Qt::AlignTop);
  top->addSpacing(12);
  top->addLayout(texts, 1);

  auto* buttons = new QDialogButtonBox;
  QPushButton* ok = buttons->addButton(QString::fromUtf8(_("OK")), QDialogButtonBox::AcceptRole);
  ok->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(buttons);
  setMinimumWidth(320);
}

QIcon HaldenIcon() {
  QIcon icon;
  for (int size : {16, 22, 32, 48, 64}) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);
    // The receipt, above the register's slot.
    QPainterPath paper;
    paper.moveTo(18, 4);
    paper.lineTo(46, 4);
    paper.lineTo(46, 34);
    paper.lineTo(18, 34);
    paper.closeSubpath();
    p.fillPath(paper, QColor(250, 250, 245));
    p.setPen(QPen(QColor(90, 90, 90), 2));
    p.drawPath(paper);
    p.setPen(QPen(QColor(120, 120, 120), 2.5));
    for (int y : {12, 19, 26}) p.drawLine(23, y, 41, y);
    // The register.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(32, 86, 150));
    p.drawRoundedRect(QRectF(4, 30, 56, 30), 6, 6);
    p.setBrush(QColor(16, 48, 90));
    p.drawRect(QRectF(14, 30, 36, 4));
    p.setBrush(QColor(120, 220, 140));
    p.drawRoundedRect(QRectF(12, 40, 40, 10), 2, 2);
    p.end();
    icon.addPixmap(pixmap);
  }
  return icon;
}
