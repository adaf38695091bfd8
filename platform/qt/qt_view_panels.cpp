// QtView's panels (platform/qt/qt_view.h): the three panels of frmLogin and their controls, as the
// window is designed.
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QVBoxLayout>
#include <iterator>

#include "platform/qt/artwork.h"
#include "platform/qt/progress_rect.h"
#include "platform/qt/qt_view.h"
#include "platform/qt/status_frame.h"
#include "platform/qt/versions_grid.h"
#include "platform/window_texts.h"

namespace zentro::qt {
namespace {

constexpr int kMargin = 16;

QLabel* textLabel(const char* text, QWidget* parent) {
  auto* label = new QLabel(QString::fromUtf8(text), parent);
  label->setTextFormat(Qt::PlainText);
  return label;
}

// Status lines wrap inside the fixed window instead of widening it.
QLabel* statusLabel(const char* name, QWidget* parent) {
  auto* label = new QLabel(parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setTextFormat(Qt::PlainText);
  label->setWordWrap(true);
  label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  return label;
}

QPushButton* button(const char* name, const char* caption, QWidget* parent) {
  auto* b = new QPushButton(QString::fromUtf8(caption), parent);
  b->setObjectName(QString::fromLatin1(name));
  // A focused button is pressed by Enter, so the keyboard works the same in both windows.
  b->setAutoDefault(true);
  b->setMinimumWidth(84);
  return b;
}

QLineEdit* lineEdit(const char* name, QWidget* parent) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(QString::fromLatin1(name));
  return edit;
}

// Each typed character of a password shows as "*", not the style's own dot; everything else
// is the application's style. (A style sheet would say the same at the cost of the style sheet
// machinery, before the window's first paint.)
class PasswordStyle final : public QProxyStyle {
 public:
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* data) const override {
    if (hint == SH_LineEdit_PasswordCharacter) return '*';
    return QProxyStyle::styleHint(hint, option, widget, data);
  }
};

}  // namespace

// The controls that lay out no text as they are made come first (their texts are measured when
// the window is first shown); the text boxes, which lay out theirs at once, come after
// `beforeFirstText`. The tab order and the first focus are set explicitly, so the order of making
// does not show.
QWidget* QtView::buildLoginPanel(const std::function<void()>& beforeFirstText) {
  auto* panel = new QWidget(this);
  panel->setObjectName(QStringLiteral("frameLogin"));

  chkRemember_ = new QCheckBox(QString::fromUtf8(kRememberCaption), panel);
  chkRemember_->setObjectName(QStringLiteral("chkRemember"));
  cmdLogin_ = button("cmdLogin", kLoginCaption, panel);
  cmdLogin_->setDefault(true);
  cmdCancel_ = button("cmdCancel", kCancelCaption, panel);
  cmdRefresh_ = new QPushButton(panel);
  cmdRefresh_->setObjectName(QStringLiteral("cmdRefresh"));
  cmdRefresh_->setAutoDefault(true);
  cmdRefresh_->setIcon(refreshIcon(kRefreshIconSide, palette().color(QPalette::ButtonText)));
  cmdRefresh_->setIconSize(QSize(16, 16));
  cmdRefresh_->setFixedSize(30, 30);
  lblStatus_ = statusLabel("lblStatus", panel);

  auto* logo = new LogoMark(kLoginLogoSide, panel);
  logo->setObjectName(QStringLiteral("Image1"));

  auto* fields = new QGridLayout;
  fields->setHorizontalSpacing(10);
  fields->setVerticalSpacing(8);
  const char* const captions[] = {kFilerCodeLabel, kLoginLabel, kPasswordLabel};
  QLabel* captionLabels[std::size(captions)];
  for (std::size_t r = 0; r < std::size(captions); ++r) {
    captionLabels[r] = textLabel(captions[r], panel);
    fields->addWidget(captionLabels[r], static_cast<int>(r), 0);
  }
  fields->addWidget(chkRemember_, static_cast<int>(std::size(captions)), 1);

  auto* top = new QHBoxLayout;
  top->setSpacing(kMargin + 4);
  auto* logoColumn = new QVBoxLayout;
  logoColumn->addWidget(logo);
  logoColumn->addStretch();
  top->addLayout(logoColumn);
  top->addLayout(fields, 1);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(cmdRefresh_);
  buttons->addStretch();
  buttons->addWidget(cmdLogin_);
  buttons->addWidget(cmdCancel_);

  auto* layout = new QVBoxLayout(panel);
  layout->setContentsMargins(kMargin + 4, kMargin + 4, kMargin + 4, kMargin);
  layout->addLayout(top);
  layout->addStretch();
  layout->addLayout(buttons);
  layout->addSpacing(4);
  layout->addWidget(lblStatus_);

  if (beforeFirstText) beforeFirstText();
  txtFilerCode_ = lineEdit("txtFilerCode", panel);
  txtLogin_ = lineEdit("txtLogin", panel);
  txtPassword_ = lineEdit("txtPassword", panel);
  txtPassword_->setEchoMode(QLineEdit::Password);
  auto* passwordStyle = new PasswordStyle;
  passwordStyle->setParent(txtPassword_);  // a widget does not own its style
  txtPassword_->setStyle(passwordStyle);
  QLineEdit* const boxes[] = {txtFilerCode_, txtLogin_, txtPassword_};
  for (std::size_t r = 0; r < std::size(boxes); ++r) {
    captionLabels[r]->setBuddy(boxes[r]);
    fields->addWidget(boxes[r], static_cast<int>(r), 1);
  }

  setTabOrder(txtFilerCode_, txtLogin_);
  setTabOrder(txtLogin_, txtPassword_);
  setTabOrder(txtPassword_, chkRemember_);
  setTabOrder(chkRemember_, cmdLogin_);
  setTabOrder(cmdLogin_, cmdCancel_);
  setTabOrder(cmdCancel_, cmdRefresh_);
  txtFilerCode_->setFocus();  // made last, it is not first in the focus chain
  return panel;
}

QWidget* QtView::buildVersionsPanel() {
  auto* panel = new QWidget(this);
  panel->setObjectName(QStringLiteral("frameVersions"));
  panel->setAutoFillBackground(true);

  auto* group = new QGroupBox(QString::fromUtf8(kVersionsCaption), panel);
  new QVBoxLayout(group);
  versionsGroup_ = group;

  cmdRunVersion_ = button("cmdRunVersion", kRunCaption, panel);
  cmdCancVersion_ = button("cmdCancVersion", kCancelCaption, panel);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(cmdRunVersion_);
  buttons->addWidget(cmdCancVersion_);

  auto* layout = new QVBoxLayout(panel);
  layout->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
  layout->setSpacing(12);
  layout->addWidget(group, 1);
  layout->addLayout(buttons);
  return panel;
}

// The grid is the costliest control of the window to make, and no one sees it before its
// panel is first shown; so it is made then, or when the program first fills or moves it,
// and not with the window. It takes its place in the tab order ahead of the panel's buttons.
VersionsGrid* QtView::versionsGrid() {
  if (grdVersions_) return grdVersions_;
  grdVersions_ = new VersionsGrid(versionsGroup_);
  grdVersions_->setObjectName(QStringLiteral("grdVersions"));
  versionsGroup_->layout()->addWidget(grdVersions_);
  setTabOrder(grdVersions_, cmdRunVersion_);
  setTabOrder(cmdRunVersion_, cmdCancVersion_);
  connect(grdVersions_, &VersionsGrid::rowDoubleClicked, this, [this](int row) {
    if (events_) events_->grdVersions_DblClick(row);
  });
  return grdVersions_;
}

QWidget* QtView::buildInstallPanel() {
  auto* panel = new QWidget(this);
  panel->setObjectName(QStringLiteral("frameInstall"));
  panel->setAutoFillBackground(true);

  lblMessage_ = statusLabel("lblMessage", panel);
  lblMessage_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  auto* logo = new LogoMark(48, panel);

  frameStatus_ = new StatusFrame(panel);
  frameStatus_->setObjectName(QStringLiteral("frameStatus"));
  prgTotal_ = new ProgressRect(kTotalBarWidth, frameStatus_);
  prgTotal_->setObjectName(QStringLiteral("prgTotal"));
  prgCurrent_ = new ProgressRect(kCurrentBarWidth, frameStatus_);
  prgCurrent_->setObjectName(QStringLiteral("prgCurrent"));
  lblBytes_ = statusLabel("lblBytes", frameStatus_);
  lblBytes_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

  auto* bars = new QGridLayout(frameStatus_);
  bars->setContentsMargins(12, 14, 12, 10);
  bars->setHorizontalSpacing(10);
  bars->setVerticalSpacing(10);
  bars->addWidget(textLabel(kTotalLabel, frameStatus_), 0, 0);
  bars->addWidget(prgTotal_, 0, 1);
  bars->addWidget(textLabel(kCurrentLabel, frameStatus_), 1, 0);
  bars->addWidget(prgCurrent_, 1, 1);
  bars->addWidget(lblBytes_, 2, 1);
  bars->setColumnStretch(1, 1);

  auto* header = new QHBoxLayout;
  header->setSpacing(14);
  header->addWidget(logo, 0, Qt::AlignTop);
  header->addWidget(lblMessage_, 1);

  auto* layout = new QVBoxLayout(panel);
  layout->setContentsMargins(kMargin + 4, kMargin + 4, kMargin + 4, kMargin + 4);
  layout->setSpacing(16);
  layout->addLayout(header);
  layout->addWidget(frameStatus_);
  layout->addStretch();
  return panel;
}

}  // namespace zentro::qt
