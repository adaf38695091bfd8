// The Qt window: the window contract (tests/window) and what only this toolkit's window shows:
// keys and clicks on its controls, rendering, panel stacking, bars, message boxes and the
// ways its event loop ends.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <dlfcn.h>
#include <fontconfig/fontconfig.h>
#include <unistd.h>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <functional>

#include "platform/qt/progress_rect.h"
#include "platform/qt/qt_view.h"
#include "platform/qt/status_frame.h"
#include "platform/qt/versions_grid.h"
#include "platform/window_texts.h"
#include "tests/window/window_contract.h"

namespace {
std::atomic<bool> gFontsListed{false};
}  // namespace

// The toolkit lists the machine's fonts through fontconfig the first time anything needs a font.
// This program's own FcFontList, which the toolkit's call reaches before the library's, notes
// that moment and hands the call on.
extern "C" FcFontSet* FcFontList(FcConfig* config, FcPattern* pattern, FcObjectSet* objects) {
  gFontsListed = true;
  using List = FcFontSet* (*)(FcConfig*, FcPattern*, FcObjectSet*);
  static const auto next = reinterpret_cast<List>(dlsym(RTLD_NEXT, "FcFontList"));
  return next ? next(config, pattern, objects) : nullptr;
}

namespace zentro::testing {

namespace {

// Runs the event loop, starting with `start` when given, until something ends it; a guard
// timer ends a loop that nothing else ends (with 99), so a hang becomes a failed comparison.
int runEventLoop(int guardMs, const std::function<void()>& start = {}) {
  QObject guard;  // the guard timer goes with it, should the loop end first
  QTimer::singleShot(guardMs, &guard, [] { QCoreApplication::exit(99); });
  if (start) QTimer::singleShot(0, qApp, start);
  return QApplication::exec();
}

class QtTestWindow : public TestWindow {
 public:
  QtTestWindow() { qt.show(); }
  View& view() override { return qt; }
  void attach(FormEvents& events) override { qt.attach(events); }
  bool ended() const override { return qt.ended(); }
  bool visible() const override { return qt.isVisible(); }
  void pressKey(bool enter) override {
    QWidget* focus = QApplication::focusWidget();
    QTest::keyClick(focus && focus->isEnabled() && focus->isVisible() ? focus : &qt,
                    enter ? Qt::Key_Return : Qt::Key_Escape);
  }
  void closeBox() override { qt.close(); }
  // A queued request to end the loop ends it at once, else the guard timer does.
  bool loopEnds() override { return runEventLoop(2000) == 0; }
  qt::QtView qt;
};

}  // namespace

std::unique_ptr<TestWindow> makeTestWindow() { return std::make_unique<QtTestWindow>(); }

namespace {

class QtWindowTest : public WindowTest {
 protected:
  qt::QtView& view() { return static_cast<QtTestWindow&>(*window).qt; }
  template <class W>
  W* part(const char* name) {
    W* widget = view().findChild<W*>(QString::fromLatin1(name));
    if (!widget) ADD_FAILURE() << "no control " << name;
    return widget;
  }
};

TEST_F(QtWindowTest, DesignKeysClicksAndTheMaskedPassword) {
  EXPECT_EQ(view().objectName(), QStringLiteral("frmLogin"));
  EXPECT_TRUE(part<QWidget>("frameVersions")->isHidden() && part<QWidget>("frameInstall")->isHidden());
  EXPECT_EQ(part<QLabel>("lblMessage")->text(), QString::fromUtf8(kDesignMessageText));
  EXPECT_EQ(part<QCheckBox>("chkRemember")->text(), QStringLiteral("Remember my login info"));
  EXPECT_EQ(part<QPushButton>("cmdRunVersion")->text(), QString::fromUtf8(qt::kRunCaption));

  QTest::keyClicks(part<QLineEdit>("txtFilerCode"), "abc 1");
  auto* password = part<QLineEdit>("txtPassword");
  QTest::keyClicks(password, " Pa55 ");
  EXPECT_EQ(view().text(TextBox::FilerCode), "abc 1");
  EXPECT_EQ(view().text(TextBox::Password), " Pa55 ");
  EXPECT_EQ(password->echoMode(), QLineEdit::Password);
  EXPECT_EQ(password->displayText(), QStringLiteral("******"));  // not the style's own dot
  QTest::mouseClick(part<QCheckBox>("chkRemember"), Qt::LeftButton);
  EXPECT_TRUE(view().rememberChecked());
  view().setRememberEnabled(false);
  EXPECT_FALSE(part<QCheckBox>("chkRemember")->isEnabled());

  // Keypad Enter is Enter; a focused button is pressed by Enter itself.
  QTest::keyClick(part<QLineEdit>("txtFilerCode"), Qt::Key_Enter, Qt::KeypadModifier);
  QTest::keyClick(part<QPushButton>("cmdCancel"), Qt::Key_Return);
  part<QPushButton>("cmdRefresh")->click();
  EXPECT_EQ(events.calls, (Calls{"cmdLogin_Click", "cmdCancel_Click", "cmdRefresh_Click"}));
}

// Tab walks the login panel's controls in their designed order and comes round again, and each
// caption leads to its own box, whatever order the controls were made in.
TEST_F(QtWindowTest, TabWalksTheLoginPanelInOrderAndEachCaptionLeadsToItsBox) {
  qt::QtView fresh;  // a window that nothing has given the focus yet starts in the first box
  fresh.show();
  fresh.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&fresh));
  ASSERT_NE(fresh.focusWidget(), nullptr);
  EXPECT_EQ(fresh.focusWidget()->objectName(), QStringLiteral("txtFilerCode"));
  fresh.hide();

  view().activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&view()));
  part<QLineEdit>("txtFilerCode")->setFocus();
  QStringList walked;
  for (int i = 0; i < 8 && view().focusWidget(); ++i) {
    walked << view().focusWidget()->objectName();
    QTest::keyClick(view().focusWidget(), Qt::Key_Tab);
  }
  EXPECT_EQ(walked, (QStringList{"txtFilerCode", "txtLogin", "txtPassword", "chkRemember",
                                 "cmdLogin", "cmdCancel", "cmdRefresh", "txtFilerCode"}));

  const std::pair<const char*, const char*> captions[] = {
      {qt::kFilerCodeLabel, "txtFilerCode"}, {qt::kLoginLabel, "txtLogin"},
      {qt::kPasswordLabel, "txtPassword"}};
  for (const auto& [caption, box] : captions) {
    QLabel* label = nullptr;
    for (QLabel* candidate : view().findChildren<QLabel*>()) {
      if (candidate->text() == QString::fromUtf8(caption)) label = candidate;
    }
    ASSERT_NE(label, nullptr) << caption;
    ASSERT_NE(label->buddy(), nullptr) << caption;
    EXPECT_EQ(label->buddy()->objectName(), QString::fromLatin1(box)) << caption;
  }
}

TEST_F(QtWindowTest, CaptionAndLabelsShowAsPlainText) {
  view().setCaption("VMI Zentro, version 300.1100.0.11");
  EXPECT_EQ(view().windowTitle(), QStringLiteral("VMI Zentro, version 300.1100.0.11"));
  view().setLabel(Label::Status, "Invalid <b>Filer</b> Code\rsecond line");
  auto* lblStatus = part<QLabel>("lblStatus");
  EXPECT_EQ(lblStatus->textFormat(), Qt::PlainText);
  EXPECT_EQ(lblStatus->text(), QStringLiteral("Invalid <b>Filer</b> Code\nsecond line"));
  view().setLabel(Label::FrameStatus, "Downloading and Installing: R&D tools");
  view().setPanelVisible(Panel::Install, true);
  EXPECT_TRUE(part<qt::StatusFrame>("frameStatus")->title().contains(QStringLiteral("R&&D")));
  view().setLabel(Label::Bytes, "3k of 10k");
  EXPECT_EQ(part<QLabel>("lblBytes")->text(), QStringLiteral("3k of 10k"));
}

TEST_F(QtWindowTest, GridClicksDoubleClicksAndItsButtons) {
  view().setPanelVisible(Panel::Versions, true);
  view().setGridRows({"First deployment", "Second deployment", "Third deployment"});
  auto* grid = part<qt::VersionsGrid>("grdVersions");
  const QRect first = grid->visualRect(grid->model()->index(0, 0));
  QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, first.center());
  EXPECT_EQ(view().currentGridRow(), 0);
  const QRect third = grid->visualRect(grid->model()->index(2, 0));
  QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, third.center());
  EXPECT_EQ(view().currentGridRow(), 2);
  const QPoint belowRows(third.center().x(), third.bottom() + third.height() + 4);
  ASSERT_LT(belowRows.y(), grid->viewport()->height());
  QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, belowRows);
  QTest::mouseClick(part<QPushButton>("cmdRunVersion"), Qt::LeftButton);
  QTest::mouseClick(part<QPushButton>("cmdCancVersion"), Qt::LeftButton);
  EXPECT_EQ(events.calls, (Calls{"grdVersions_DblClick 2", "grdVersions_DblClick -1",
                                 "cmdRunVersion_Click", "cmdCancVersion_Click"}));
}

TEST_F(QtWindowTest, PanelsStackLoginThenVersionsThenInstall) {
  auto* login = part<QWidget>("frameLogin");
  auto* versions = part<QWidget>("frameVersions");
  auto* install = part<QWidget>("frameInstall");
  auto frontAt = [&] {
    QWidget* hit = view().childAt(view().width() / 2, view().height() / 2);
    for (QWidget* panel : {install, versions, login}) {
      if (hit && (hit == panel || panel->isAncestorOf(hit))) return panel;
    }
    return static_cast<QWidget*>(nullptr);
  };
  EXPECT_EQ(frontAt(), login);
  view().setPanelVisible(Panel::Install, true);
  view().setPanelVisible(Panel::Versions, true);
  EXPECT_EQ(frontAt(), install);
  EXPECT_TRUE(!login->isEnabled() && !versions->isEnabled());
  view().setPanelVisible(Panel::Install, false);
  EXPECT_EQ(frontAt(), versions);
  EXPECT_TRUE(!login->isEnabled() && versions->isEnabled());
  EXPECT_EQ(versions->geometry(), view().rect());
  view().setPanelVisible(Panel::Versions, false);
  EXPECT_EQ(frontAt(), login);
  EXPECT_TRUE(login->isEnabled());
}

TEST_F(QtWindowTest, BarsFillTheirShareOfTheirOwnFullWidth) {
  view().setPanelVisible(Panel::Install, true);
  auto* total = part<qt::ProgressRect>("prgTotal");
  auto* current = part<qt::ProgressRect>("prgCurrent");
  const int track = total->width() - 2;  // inside the border
  ASSERT_GT(track, 100);
  view().setBarWidth(Bar::Total, kTotalBarWidth / 3 * 2);
  EXPECT_LE(std::abs(total->filledWidth() - track * 2 / 3), 1);
  view().setBarWidth(Bar::Total, kTotalBarWidth);
  EXPECT_EQ(total->filledWidth(), track);
  view().setBarWidth(Bar::Current, kCurrentBarWidth / 4);
  EXPECT_LE(std::abs(current->filledWidth() - (current->width() - 2) / 4), 1);
  view().setBarWidth(Bar::Current, kTotalBarWidth);  // beyond its own full width
  EXPECT_EQ(current->filledWidth(), current->width() - 2);
  view().setBarWidth(Bar::Current, -5);
  EXPECT_EQ(current->filledWidth(), 0);
  EXPECT_EQ(current->units(), -5.0);
}

TEST_F(QtWindowTest, MessageBoxesShowTitleIconButtonsAndReturnTheAnswer) {
  using B = QMessageBox;
  const struct {
    Buttons buttons;
    Icon icon;
    std::optional<std::string> title;
    B::StandardButton press;
    QString wantTitle;
    B::Icon wantIcon;
    B::StandardButtons wantButtons;
    Answer want;
  } cases[] = {
      {Buttons::Ok, Icon::None, std::nullopt, B::Ok, "Velmora Zentro", B::NoIcon, B::Ok, Answer::Ok},
      // An empty title is a blank: given none at all, the toolkit shows the program's name.
      {Buttons::Ok, Icon::Critical, "", B::Ok, " ", B::Critical, B::Ok, Answer::Ok},
      {Buttons::OkCancel, Icon::Exclamation, "T", B::Cancel, "T", B::Warning, B::Ok | B::Cancel,
       Answer::Cancel},
      {Buttons::YesNo, Icon::Question, "", B::Yes, " ", B::Question, B::Yes | B::No, Answer::Yes},
      {Buttons::YesNo, Icon::Information, "", B::No, " ", B::Information, B::Yes | B::No,
       Answer::No},
  };
  for (const auto& c : cases) {
    bool seen = false;
    QTimer::singleShot(0, qApp, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box) return;  // the call under test then returns without an answer and fails below
      seen = true;
      EXPECT_EQ(box->windowTitle(), c.wantTitle);
      EXPECT_EQ(box->icon(), c.wantIcon);
      EXPECT_EQ(box->standardButtons(), c.wantButtons);
      EXPECT_EQ(box->textFormat(), Qt::PlainText);
      EXPECT_EQ(box->text(), QStringLiteral("Line one\n\nLine <i>two</i>"));
      box->button(c.press)->click();
    });
    EXPECT_EQ(view().messageBox("Line one\r\rLine <i>two</i>", c.buttons, c.icon, c.title), c.want);
    EXPECT_TRUE(seen);
  }
}

// The window ends the whole process where it stands, its buffered output written first.
TEST_F(QtWindowTest, TerminateEndsTheProcessAtOnceWithoutUnloading) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");  // a fresh copy of this program, not a fork
  EXPECT_EXIT(
      {
        FILE* out = ::fdopen(::dup(2), "w");  // fully buffered: only a flush writes it out
        std::fprintf(out, "before\n");
        view().terminate(3);
      },
      ::testing::ExitedWithCode(3), "before");
}

// Nothing the window makes before its first text box uses a font: the program finishes loading
// the font configuration there, and a font used earlier would have the toolkit load it a second
// time. A fresh copy of this program, where nothing has used a font yet, makes the window.
TEST(QtWindowFontsTest, NothingBeforeTheFirstTextBoxUsesAFont) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        bool listedBefore = true;
        int calls = 0;
        qt::QtView window([&] {
          listedBefore = gFontsListed;
          ++calls;
        });
        std::fprintf(stderr, "listed before: %d, after: %d, calls: %d\n", listedBefore,
                     gFontsListed.load(), calls);
        std::_Exit(0);
      },
      ::testing::ExitedWithCode(0), "listed before: 0, after: 1, calls: 1");
}

// The close box and the end of the event loop, within the loop itself.
TEST_F(QtWindowTest, TheLoopEndsByTheCloseBoxOrElseStillUnloadsWithTheSessionReason) {
  EXPECT_EQ(runEventLoop(20000, [&] { view().close(); }), 0);
  EXPECT_EQ(events.calls, (Calls{"Form_QueryUnload 0", "Form_Unload"}));
  EXPECT_FALSE(view().isVisible());

  qt::QtView other;
  RecordedEvents otherEvents;
  otherEvents.refuseUnload = true;  // cannot be refused any more
  other.attach(otherEvents);
  other.show();
  EXPECT_EQ(runEventLoop(20000, [] { QCoreApplication::exit(0); }), 0);
  EXPECT_EQ(otherEvents.calls, (Calls{"Form_QueryUnload 2", "Form_Unload"}));
  EXPECT_TRUE(other.ended());
}

}  // namespace
}  // namespace zentro::testing

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
