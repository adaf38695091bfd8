#pragma once
// frmLogin on Linux: the Qt window behind the View seam. Three panels share the window's
// area, stacked login (back), selection, install (front); a panel covered by a visible one
// in front of it takes no keyboard input. Enter presses cmdLogin and Esc presses cmdCancel
// while the login panel is the one in front.
//
// Window thread only, except postToUi (any thread). Events go to the FormEvents given to
// attach(); before that the window sends none.

#include <QTimer>
#include <QWidget>
#include <array>
#include <functional>

#include "platform/view.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSessionManager;

namespace zentro::qt {

class ProgressRect;
class StatusFrame;
class VersionsGrid;

class QtView : public QWidget, public View {
  Q_OBJECT
 public:
  // Fixed size of the window, in device-independent pixels.
  static constexpr int kWidth = 430;
  static constexpr int kHeight = 270;

  // `beforeFirstText` runs once, just before the window makes its first control that lays out
  // text as it is made (the first text box). Nothing made before it uses a font, so the
  // program can finish loading the font configuration there while the rest is made.
  explicit QtView(const std::function<void()>& beforeFirstText = {}, QWidget* parent = nullptr);
  ~QtView() override;

  void attach(FormEvents& events) { events_ = &events; }

  // True once the window has unloaded (the program is ending).
  bool ended() const { return ended_; }

  void setCaption(const std::string& text) override;
  void setPanelVisible(Panel panel, bool visible) override;

  std::string text(TextBox box) const override;
  void setText(TextBox box, const std::string& text) override;
  bool rememberChecked() const override;
  void setRememberChecked(bool checked) override;
  void setRememberEnabled(bool enabled) override;
  void setRefreshEnabled(bool enabled) override;
  void setRefreshVisible(bool visible) override;

  void setLabel(Label label, const std::string& text) override;
  std::string label(Label label) const override;
  void setBarWidth(Bar bar, double layoutUnits) override;

  void setGridRows(const std::vector<std::string>& rows) override;
  void setCurrentGridRow(int row) override;
  int currentGridRow() const override;
  int gridRowCount() const override;

  void setFocus(Focusable target) override;
  void setBusy(bool busy) override;
  void repaint() override;
  void processEvents() override;

  Answer messageBox(const std::string& text, Buttons buttons, Icon icon,
                    const std::optional<std::string>& title) override;

  void setInstallTimerEnabled(bool enabled) override;
  bool installTimerEnabled() const override;

  void unload() override;
  // Hides the window and ends the process with `exitCode` at once: nothing that was running
  // when the error struck gets to continue, and nothing is saved.
  void terminate(int exitCode) override;

  void postToUi(std::function<void()> task) override;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  QWidget* buildLoginPanel(const std::function<void()>& beforeFirstText);
  QWidget* buildVersionsPanel();
  QWidget* buildInstallPanel();
  VersionsGrid* versionsGrid();
  void wireEvents();
  QWidget* panelWidget(Panel panel) const;
  QLineEdit* box(TextBox box) const;
  void coverPanels();
  void fire(void (FormEvents::*handler)());
  void sessionEnding(QSessionManager& manager);
  void applicationQuitting();
  void finishUnload();

  FormEvents* events_ = nullptr;
  bool ended_ = false;
  bool busy_ = false;
  std::array<std::string, 4> labels_;  // by Label, as given (the widgets show display forms)
  QTimer installTimer_;

  QWidget* frameLogin_ = nullptr;
  QWidget* frameVersions_ = nullptr;
  QWidget* frameInstall_ = nullptr;
  QLineEdit* txtFilerCode_ = nullptr;
  QLineEdit* txtLogin_ = nullptr;
  QLineEdit* txtPassword_ = nullptr;
  QCheckBox* chkRemember_ = nullptr;
  QPushButton* cmdLogin_ = nullptr;
  QPushButton* cmdCancel_ = nullptr;
  QPushButton* cmdRefresh_ = nullptr;
  QLabel* lblStatus_ = nullptr;
  QWidget* versionsGroup_ = nullptr;
  VersionsGrid* grdVersions_ = nullptr;  // made on first use: see versionsGrid()
  QPushButton* cmdRunVersion_ = nullptr;
  QPushButton* cmdCancVersion_ = nullptr;
  QLabel* lblMessage_ = nullptr;
  StatusFrame* frameStatus_ = nullptr;
  ProgressRect* prgTotal_ = nullptr;
  ProgressRect* prgCurrent_ = nullptr;
  QLabel* lblBytes_ = nullptr;
};

}  // namespace zentro::qt
