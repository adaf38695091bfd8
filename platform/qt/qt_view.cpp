#include "platform/qt/qt_view.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSessionManager>
#include <cstdio>
#include <cstdlib>

#include "platform/qt/artwork.h"
#include "platform/qt/progress_rect.h"
#include "platform/qt/status_frame.h"
#include "platform/qt/versions_grid.h"

namespace zentro::qt {
namespace {

QString fromText(const std::string& text) { return QString::fromStdString(text); }

// The program's texts separate lines with carriage returns; Qt breaks lines at line feeds.
QString displayText(const std::string& text) {
  QString shown = fromText(text);
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return shown;
}

QMessageBox::Icon toQtIcon(Icon icon) {
  switch (icon) {
    case Icon::Critical: return QMessageBox::Critical;
    case Icon::Question: return QMessageBox::Question;
    case Icon::Exclamation: return QMessageBox::Warning;
    case Icon::Information: return QMessageBox::Information;
    case Icon::None: break;
  }
  return QMessageBox::NoIcon;
}

// An empty window title makes the toolkit put the program's name in its place; a single blank
// is the nearest to an empty title bar that the window manager is given.
QString boxTitle(const std::optional<std::string>& title) {
  if (!title) return QString::fromUtf8(kProductName);
  if (title->empty()) return QStringLiteral(" ");
  return fromText(*title);
}

}  // namespace

QtView::QtView(const std::function<void()>& beforeFirstText, QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("frmLogin"));
  setFixedSize(kWidth, kHeight);
  setWindowIcon(windowIcon());

  // Stacking follows creation order: login at the back, install in front.
  frameLogin_ = buildLoginPanel(beforeFirstText);
  frameVersions_ = buildVersionsPanel();
  frameInstall_ = buildInstallPanel();
  for (QWidget* panel : {frameLogin_, frameVersions_, frameInstall_}) {
    panel->setGeometry(0, 0, kWidth, kHeight);
    panel->raise();
  }
  frameVersions_->hide();
  frameInstall_->hide();
  coverPanels();
  setLabel(Label::Message, kDesignMessageText);

  installTimer_.setInterval(1);
  installTimer_.setTimerType(Qt::PreciseTimer);
  wireEvents();
}

QtView::~QtView() {
  if (busy_) QApplication::restoreOverrideCursor();
}

void QtView::wireEvents() {
  connect(cmdLogin_, &QPushButton::clicked, this, [this] { fire(&FormEvents::cmdLogin_Click); });
  connect(cmdCancel_, &QPushButton::clicked, this, [this] { fire(&FormEvents::cmdCancel_Click); });
  connect(cmdRefresh_, &QPushButton::clicked, this,
          [this] { fire(&FormEvents::cmdRefresh_Click); });
  connect(cmdRunVersion_, &QPushButton::clicked, this,
          [this] { fire(&FormEvents::cmdRunVersion_Click); });
  connect(cmdCancVersion_, &QPushButton::clicked, this,
          [this] { fire(&FormEvents::cmdCancVersion_Click); });
  connect(&installTimer_, &QTimer::timeout, this,
          [this] { fire(&FormEvents::tmrComInstall_Timer); });
  connect(qApp, &QGuiApplication::commitDataRequest, this, &QtView::sessionEnding);
  connect(qApp, &QCoreApplication::aboutToQuit, this, &QtView::applicationQuitting);
}

void QtView::fire(void (FormEvents::*handler)()) {
  if (events_) (events_->*handler)();
}

QWidget* QtView::panelWidget(Panel panel) const {
  switch (panel) {
    case Panel::Login: return frameLogin_;
    case Panel::Versions: return frameVersions_;
    case Panel::Install: return frameInstall_;
  }
  return frameLogin_;
}

QLineEdit* QtView::box(TextBox which) const {
  switch (which) {
    case TextBox::FilerCode: return txtFilerCode_;
    case TextBox::Login: return txtLogin_;
    case TextBox::Password: return txtPassword_;
  }
  return txtFilerCode_;
}

void QtView::coverPanels() {
  // A covered panel stays visible underneath, but must not take keys typed "blind" (such as
  // Esc on the install panel pressing the hidden Cancel). Controls keep their own enabled state.
  const bool versionsUp = !frameVersions_->isHidden();
  const bool installUp = !frameInstall_->isHidden();
  frameLogin_->setEnabled(!versionsUp && !installUp);
  frameVersions_->setEnabled(!installUp);
}

void QtView::setCaption(const std::string& text) { setWindowTitle(fromText(text)); }

void QtView::setPanelVisible(Panel panel, bool visible) {
  if (panel == Panel::Versions && visible) versionsGrid();
  panelWidget(panel)->setVisible(visible);
  coverPanels();
}

std::string QtView::text(TextBox which) const { return box(which)->text().toStdString(); }
void QtView::setText(TextBox which, const std::string& text) { box(which)->setText(fromText(text)); }

bool QtView::rememberChecked() const { return chkRemember_->isChecked(); }
void QtView::setRememberChecked(bool checked) { chkRemember_->setChecked(checked); }
void QtView::setRememberEnabled(bool enabled) { chkRemember_->setEnabled(enabled); }
void QtView::setRefreshEnabled(bool enabled) { cmdRefresh_->setEnabled(enabled); }
void QtView::setRefreshVisible(bool visible) { cmdRefresh_->setVisible(visible); }

void QtView::setLabel(Label which, const std::string& text) {
  labels_[std::size_t(which)] = text;
  switch (which) {
    case Label::Status: lblStatus_->setText(displayText(text)); break;
    case Label::Message: lblMessage_->setText(displayText(text)); break;
    case Label::FrameStatus: frameStatus_->setCaption(fromText(text)); break;
    case Label::Bytes: lblBytes_->setText(displayText(text)); break;
  }
}

std::string QtView::label(Label which) const { return labels_[std::size_t(which)]; }

void QtView::setBarWidth(Bar bar, double layoutUnits) {
  (bar == Bar::Total ? prgTotal_ : prgCurrent_)->setUnits(layoutUnits);
}

void QtView::setGridRows(const std::vector<std::string>& rows) { versionsGrid()->setRows(rows); }
void QtView::setCurrentGridRow(int row) { versionsGrid()->setCurrent(row); }
// A grid not made yet is the empty grid it would be made as.
int QtView::currentGridRow() const { return grdVersions_ ? grdVersions_->currentRow() : -1; }
int QtView::gridRowCount() const { return grdVersions_ ? grdVersions_->rowCount() : 0; }

void QtView::setFocus(Focusable target) {
  QWidget* widget = nullptr;
  switch (target) {
    case Focusable::FilerCode: widget = txtFilerCode_; break;
    case Focusable::Login: widget = txtLogin_; break;
    case Focusable::Password: widget = txtPassword_; break;
    case Focusable::Grid: widget = versionsGrid(); break;
  }
  if (widget) widget->setFocus(Qt::OtherFocusReason);
}

void QtView::setBusy(bool busy) {
  if (busy == busy_) return;
  busy_ = busy;
  if (busy) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
  } else {
    QApplication::restoreOverrideCursor();
  }
}

void QtView::repaint() {
  // Labels that changed text ask their layout to recompute; do that first so the new text
  // is painted at its new size.
  QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
  QWidget::repaint();
}

void QtView::processEvents() { QCoreApplication::processEvents(); }

Answer QtView::messageBox(const std::string& text, Buttons buttons, Icon icon,
                          const std::optional<std::string>& title) {
  QMessageBox box(toQtIcon(icon), boxTitle(title), displayText(text), QMessageBox::NoButton,
                  isVisible() ? this : nullptr);
  // Before the window is first shown (during Form_Load) the box stands alone, centred on the
  // screen rather than over a window that is not there yet.
  box.setWindowIcon(windowIcon());
  box.setTextFormat(Qt::PlainText);
  Answer fallback = Answer::Ok;
  switch (buttons) {
    case Buttons::Ok:
      box.setStandardButtons(QMessageBox::Ok);
      box.setEscapeButton(QMessageBox::Ok);
      break;
    case Buttons::OkCancel:
      box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
      box.setDefaultButton(QMessageBox::Ok);
      box.setEscapeButton(QMessageBox::Cancel);
      fallback = Answer::Cancel;
      break;
    case Buttons::YesNo:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
      box.setDefaultButton(QMessageBox::Yes);
      box.setEscapeButton(QMessageBox::No);
      fallback = Answer::No;
      break;
  }
  // The hourglass of a running step would otherwise hide that the box wants an answer.
  if (busy_) QApplication::setOverrideCursor(Qt::ArrowCursor);
  box.exec();
  if (busy_) QApplication::restoreOverrideCursor();
  switch (box.standardButton(box.clickedButton())) {
    case QMessageBox::Ok: return Answer::Ok;
    case QMessageBox::Cancel: return Answer::Cancel;
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::No: return Answer::No;
    default: return fallback;
  }
}

void QtView::setInstallTimerEnabled(bool enabled) {
  if (enabled) {
    installTimer_.start();
  } else {
    installTimer_.stop();
  }
}

bool QtView::installTimerEnabled() const { return installTimer_.isActive(); }

void QtView::unload() {
  if (ended_) return;
  if (events_ && events_->Form_QueryUnload(UnloadReason::FormCode)) return;
  finishUnload();
}

void QtView::finishUnload() {
  if (events_) events_->Form_Unload();
  ended_ = true;
  installTimer_.stop();
  hide();
  // Queued, so the handler that unloaded the window returns before the loop ends.
  QMetaObject::invokeMethod(qApp, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
}

void QtView::terminate(int exitCode) {
  installTimer_.stop();
  hide();
  // Leaving through the event loop would let a step that was waiting in processEvents carry
  // on after the error; the run-time error report ends the process where it stands. No
  // destructors run either: a transfer worker may still be using what they would tear down.
  std::fflush(nullptr);
  std::_Exit(exitCode);
}

void QtView::postToUi(std::function<void()> task) {
  QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
}

void QtView::closeEvent(QCloseEvent* event) {
  if (ended_ || !events_) {
    event->accept();
    return;
  }
  if (events_->Form_QueryUnload(UnloadReason::FormControlMenu)) {
    event->ignore();
    return;
  }
  finishUnload();
  event->accept();
}

void QtView::keyPressEvent(QKeyEvent* event) {
  // The default and cancel buttons answer only while their panel is in front and usable.
  const auto mods = event->modifiers() & ~Qt::KeypadModifier;
  QPushButton* target = nullptr;
  if (mods == Qt::NoModifier) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) target = cmdLogin_;
    if (event->key() == Qt::Key_Escape) target = cmdCancel_;
  }
  if (target && target->isEnabled() && target->isVisible()) {
    event->accept();
    target->click();
    return;
  }
  QWidget::keyPressEvent(event);
}

void QtView::sessionEnding(QSessionManager& manager) {
  if (ended_ || !events_) return;
  if (events_->Form_QueryUnload(UnloadReason::AppWindows)) {
    if (manager.allowsInteraction()) manager.cancel();
    return;
  }
  finishUnload();
}

void QtView::applicationQuitting() {
  // The event loop is ending for a reason other than the window's own unload; the remembered
  // login is still written, and the end can no longer be refused.
  if (ended_ || !events_) return;
  events_->Form_QueryUnload(UnloadReason::AppWindows);
  events_->Form_Unload();
  ended_ = true;
}

}  // namespace zentro::qt
