// The Qt window against a recording stand-in for the window's logic: keys, texts, grid,
// panel stacking, bars, message boxes and the ways the window ends.
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QtTest>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/qt/progress_rect.h"
#include "platform/qt/qt_view.h"
#include "platform/qt/status_frame.h"
#include "platform/qt/versions_grid.h"
#include "platform/window_texts.h"

using namespace zentro;
using zentro::qt::QtView;

namespace {

class RecordingEvents : public FormEvents {
 public:
  std::vector<std::string> calls;
  bool refuseUnload = false;
  std::function<void()> onTick;

  void Form_Load() override { calls.push_back("Form_Load"); }
  bool Form_QueryUnload(UnloadReason reason) override {
    calls.push_back("Form_QueryUnload " + std::to_string(int(reason)));
    return refuseUnload;
  }
  void Form_Unload() override { calls.push_back("Form_Unload"); }
  void cmdLogin_Click() override { calls.push_back("cmdLogin_Click"); }
  void cmdCancel_Click() override { calls.push_back("cmdCancel_Click"); }
  void cmdRefresh_Click() override { calls.push_back("cmdRefresh_Click"); }
  void cmdRunVersion_Click() override { calls.push_back("cmdRunVersion_Click"); }
  void grdVersions_DblClick(int row) override {
    calls.push_back("grdVersions_DblClick " + std::to_string(row));
  }
  void cmdCancVersion_Click() override { calls.push_back("cmdCancVersion_Click"); }
  void tmrComInstall_Timer() override {
    calls.push_back("tmrComInstall_Timer");
    if (onTick) onTick();
  }
};

using Calls = std::vector<std::string>;

constexpr char kChildVariable[] = "ZENTRO_QT_WINDOW_TEST_CHILD";

template <class W>
W* part(const QtView& view, const char* name) {
  W* widget = view.findChild<W*>(QString::fromLatin1(name));
  if (!widget) qFatal("no control %s", name);
  return widget;
}

// What a message box showed, read while it is open.
struct SeenBox {
  bool found = false;
  QString title;
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QMessageBox::StandardButtons buttons;
  Qt::TextFormat format = Qt::AutoText;
};

// Reads the message box that opens next, then presses `press` on it.
void answerNextBox(QMessageBox::StandardButton press, SeenBox& seen) {
  QTimer::singleShot(0, qApp, [press, &seen] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;  // the call under test then returns without an answer and the test fails
    seen = {true, box->windowTitle(), box->text(), box->icon(), box->standardButtons(),
            box->textFormat()};
    box->button(press)->click();
  });
}

// Runs the application's event loop until the window ends it; a guard timer turns a loop
// that never ends into a failed comparison instead of a hang.
int runLoop(const std::function<void()>& start) {
  QTimer guard;
  guard.setSingleShot(true);
  QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(99); });
  guard.start(20000);
  QTimer::singleShot(0, qApp, start);
  return QApplication::exec();
}

}  // namespace

class QtWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void designStateBeforeAnyCode() {
    QtView view;
    QCOMPARE(view.objectName(), QStringLiteral("frmLogin"));
    QVERIFY(!part<QWidget>(view, "frameLogin")->isHidden());
    QVERIFY(part<QWidget>(view, "frameVersions")->isHidden());
    QVERIFY(part<QWidget>(view, "frameInstall")->isHidden());
    QCOMPARE(view.label(Label::Message), std::string(kDesignMessageText));
    QCOMPARE(part<QLabel>(view, "lblMessage")->text(), QString::fromUtf8(kDesignMessageText));
    QCOMPARE(view.label(Label::Status), std::string());
    QCOMPARE(part<QCheckBox>(view, "chkRemember")->text(), QStringLiteral("Remember my login info"));
    QCOMPARE(part<QPushButton>(view, "cmdRunVersion")->text(), QString::fromUtf8(qt::kRunCaption));
    QVERIFY(!view.installTimerEnabled());
    QCOMPARE(view.currentGridRow(), -1);
  }

  void enterAndEscPressTheLoginPanelsButtonsOnlyWhenItIsInFront() {
    QtView view;
    RecordingEvents events;
    view.attach(events);
    view.show();
    auto* filer = part<QLineEdit>(view, "txtFilerCode");
    QTest::keyClick(filer, Qt::Key_Return);
    QTest::keyClick(filer, Qt::Key_Enter, Qt::KeypadModifier);
    QTest::keyClick(part<QCheckBox>(view, "chkRemember"), Qt::Key_Escape);
    // A focused button is pressed by Enter itself.
    QTest::keyClick(part<QPushButton>(view, "cmdCancel"), Qt::Key_Return);
    QCOMPARE(events.calls,
             (Calls{"cmdLogin_Click", "cmdLogin_Click", "cmdCancel_Click", "cmdCancel_Click"}));

    events.calls.clear();
    view.setPanelVisible(Panel::Versions, true);
    view.setFocus(Focusable::Grid);
    QTest::keyClick(part<QWidget>(view, "grdVersions"), Qt::Key_Return);
    QTest::keyClick(part<QWidget>(view, "grdVersions"), Qt::Key_Escape);
    view.setPanelVisible(Panel::Versions, false);
    view.setPanelVisible(Panel::Install, true);
    QTest::keyClick(&view, Qt::Key_Escape);
    QTest::keyClick(&view, Qt::Key_Return);
    QCOMPARE(events.calls, Calls{});

    view.setPanelVisible(Panel::Install, false);
    part<QPushButton>(view, "cmdRefresh")->click();
    QTest::mouseClick(part<QPushButton>(view, "cmdLogin"), Qt::LeftButton);
    QCOMPARE(events.calls, (Calls{"cmdRefresh_Click", "cmdLogin_Click"}));
  }

  void typedTextsReadBackAndThePasswordIsMasked() {
    QtView view;
    view.show();
    QTest::keyClicks(part<QLineEdit>(view, "txtFilerCode"), "abc 1");
    QTest::keyClicks(part<QLineEdit>(view, "txtLogin"), "jdoe");
    auto* password = part<QLineEdit>(view, "txtPassword");
    QTest::keyClicks(password, " Pa55 ");
    QCOMPARE(view.text(TextBox::FilerCode), std::string("abc 1"));
    QCOMPARE(view.text(TextBox::Login), std::string("jdoe"));
    QCOMPARE(view.text(TextBox::Password), std::string(" Pa55 "));
    QCOMPARE(password->echoMode(), QLineEdit::Password);
    QCOMPARE(password->displayText(), QStringLiteral("******"));

    view.setText(TextBox::FilerCode, "ABC 1");
    QCOMPARE(part<QLineEdit>(view, "txtFilerCode")->text(), QStringLiteral("ABC 1"));
    QTest::mouseClick(part<QCheckBox>(view, "chkRemember"), Qt::LeftButton);
    QVERIFY(view.rememberChecked());
    view.setRememberChecked(false);
    view.setRememberEnabled(false);
    QVERIFY(!view.rememberChecked());
    QVERIFY(!part<QCheckBox>(view, "chkRemember")->isEnabled());
  }

  void captionAndLabelsAreKeptVerbatim() {
    QtView view;
    view.setCaption("VMI Zentro, version 300.1100.0.11");
    QCOMPARE(view.windowTitle(), QStringLiteral("VMI Zentro, version 300.1100.0.11"));

    const std::string status = "Invalid <b>Filer</b> Code\rsecond line";
    view.setLabel(Label::Status, status);
    QCOMPARE(view.label(Label::Status), status);
    auto* lblStatus = part<QLabel>(view, "lblStatus");
    QCOMPARE(lblStatus->textFormat(), Qt::PlainText);
    QCOMPARE(lblStatus->text(), QStringLiteral("Invalid <b>Filer</b> Code\nsecond line"));

    const std::string caption = "Downloading and Installing: R&D tools";
    view.setLabel(Label::FrameStatus, caption);
    QCOMPARE(view.label(Label::FrameStatus), caption);
    auto* frame = part<qt::StatusFrame>(view, "frameStatus");
    QCOMPARE(frame->caption(), QString::fromStdString(caption));
    view.setPanelVisible(Panel::Install, true);
    view.show();
    QVERIFY(frame->title().contains(QStringLiteral("R&&D")));

    view.setLabel(Label::Bytes, "3k of 10k");
    QCOMPARE(part<QLabel>(view, "lblBytes")->text(), QStringLiteral("3k of 10k"));
  }

  void gridRowsCurrentRowAndDoubleClicks() {
    QtView view;
    RecordingEvents events;
    view.attach(events);
    view.setPanelVisible(Panel::Versions, true);
    view.show();
    view.setGridRows({"First deployment", "Second deployment", "Third deployment"});
    QCOMPARE(view.gridRowCount(), 3);
    QCOMPARE(view.currentGridRow(), -1);
    view.setCurrentGridRow(1);
    QCOMPARE(view.currentGridRow(), 1);
    view.setCurrentGridRow(7);
    QCOMPARE(view.currentGridRow(), -1);

    auto* grid = part<qt::VersionsGrid>(view, "grdVersions");
    const QRect first = grid->visualRect(grid->model()->index(0, 0));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, first.center());
    QCOMPARE(view.currentGridRow(), 0);

    const QRect third = grid->visualRect(grid->model()->index(2, 0));
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, third.center());
    QCOMPARE(view.currentGridRow(), 2);
    const QPoint belowRows(third.center().x(), third.bottom() + third.height() + 4);
    QVERIFY(belowRows.y() < grid->viewport()->height());
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, belowRows);
    QCOMPARE(events.calls, (Calls{"grdVersions_DblClick 2", "grdVersions_DblClick -1"}));

    events.calls.clear();
    QTest::mouseClick(part<QPushButton>(view, "cmdRunVersion"), Qt::LeftButton);
    QTest::mouseClick(part<QPushButton>(view, "cmdCancVersion"), Qt::LeftButton);
    QCOMPARE(events.calls, (Calls{"cmdRunVersion_Click", "cmdCancVersion_Click"}));
  }

  void panelsStackLoginThenVersionsThenInstall() {
    QtView view;
    view.show();
    auto* login = part<QWidget>(view, "frameLogin");
    auto* versions = part<QWidget>(view, "frameVersions");
    auto* install = part<QWidget>(view, "frameInstall");
    const QPoint middle(view.width() / 2, view.height() / 2);
    auto frontAt = [&] {
      QWidget* hit = view.childAt(middle);
      for (QWidget* panel : {install, versions, login}) {
        if (hit && (hit == panel || panel->isAncestorOf(hit))) return panel;
      }
      return static_cast<QWidget*>(nullptr);
    };
    QCOMPARE(frontAt(), login);
    view.setPanelVisible(Panel::Install, true);
    view.setPanelVisible(Panel::Versions, true);
    QCOMPARE(frontAt(), install);
    QVERIFY(!login->isEnabled() && !versions->isEnabled());
    view.setPanelVisible(Panel::Install, false);
    QCOMPARE(frontAt(), versions);
    QVERIFY(!login->isEnabled() && versions->isEnabled());
    QCOMPARE(versions->geometry(), view.rect());
    view.setPanelVisible(Panel::Versions, false);
    QCOMPARE(frontAt(), login);
    QVERIFY(login->isEnabled());
  }

  void barsFillTheirShareOfTheirFullWidth() {
    QtView view;
    view.setPanelVisible(Panel::Install, true);
    view.show();
    auto* total = part<qt::ProgressRect>(view, "prgTotal");
    auto* current = part<qt::ProgressRect>(view, "prgCurrent");
    const int track = total->width() - 2;  // inside the border
    QVERIFY(track > 100);

    view.setBarWidth(Bar::Total, kTotalBarWidth / 3 * 2);
    QVERIFY(qAbs(total->filledWidth() - track * 2 / 3) <= 1);
    view.setBarWidth(Bar::Total, kTotalBarWidth);
    QCOMPARE(total->filledWidth(), track);
    view.setBarWidth(Bar::Current, kCurrentBarWidth / 4);
    QVERIFY(qAbs(current->filledWidth() - (current->width() - 2) / 4) <= 1);
    // The current bar's full width is its own, not the total bar's.
    view.setBarWidth(Bar::Current, kCurrentBarWidth);
    QCOMPARE(current->filledWidth(), current->width() - 2);
    view.setBarWidth(Bar::Current, kTotalBarWidth);
    QCOMPARE(current->filledWidth(), current->width() - 2);
    view.setBarWidth(Bar::Current, -5);
    QCOMPARE(current->filledWidth(), 0);
    QCOMPARE(current->units(), -5.0);
  }

  void messageBoxesShowTitleIconButtonsAndReturnTheAnswer() {
    QtView view;
    struct Case {
      Buttons buttons;
      Icon icon;
      std::optional<std::string> title;
      QMessageBox::StandardButton press;
      QString wantTitle;
      QMessageBox::Icon wantIcon;
      QMessageBox::StandardButtons wantButtons;
      Answer want;
    };
    const Case cases[] = {
        {Buttons::Ok, Icon::None, std::nullopt, QMessageBox::Ok, QStringLiteral("Velmora Zentro"),
         QMessageBox::NoIcon, QMessageBox::Ok, Answer::Ok},
        // An empty title is a blank: given none at all, the toolkit shows the program's name.
        {Buttons::Ok, Icon::None, std::string(), QMessageBox::Ok, QStringLiteral(" "),
         QMessageBox::NoIcon, QMessageBox::Ok, Answer::Ok},
        {Buttons::Ok, Icon::Critical, std::string("Critical Error"), QMessageBox::Ok,
         QStringLiteral("Critical Error"), QMessageBox::Critical, QMessageBox::Ok, Answer::Ok},
        {Buttons::OkCancel, Icon::Exclamation, std::string("T"), QMessageBox::Cancel,
         QStringLiteral("T"), QMessageBox::Warning, QMessageBox::Ok | QMessageBox::Cancel,
         Answer::Cancel},
        {Buttons::YesNo, Icon::Question, std::string(), QMessageBox::Yes, QStringLiteral(" "),
         QMessageBox::Question, QMessageBox::Yes | QMessageBox::No, Answer::Yes},
        {Buttons::YesNo, Icon::Information, std::string(), QMessageBox::No, QStringLiteral(" "),
         QMessageBox::Information, QMessageBox::Yes | QMessageBox::No, Answer::No},
    };
    for (const Case& c : cases) {
      SeenBox seen;
      answerNextBox(c.press, seen);
      const Answer answer = view.messageBox("Line one\r\rLine <i>two</i>", c.buttons, c.icon, c.title);
      QVERIFY(seen.found);
      QCOMPARE(seen.title, c.wantTitle);
      QCOMPARE(seen.icon, c.wantIcon);
      QCOMPARE(seen.buttons, c.wantButtons);
      QCOMPARE(seen.format, Qt::PlainText);
      QCOMPARE(seen.text, QStringLiteral("Line one\n\nLine <i>two</i>"));
      QCOMPARE(answer, c.want);
    }
  }

  void workerTasksRunOnTheWindowThread() {
    QtView view;
    QThread* ranOn = nullptr;
    std::thread worker([&] { view.postToUi([&] { ranOn = QThread::currentThread(); }); });
    worker.join();
    QCOMPARE(ranOn, static_cast<QThread*>(nullptr));
    view.processEvents();
    QCOMPARE(ranOn, qApp->thread());
  }

  void installTimerTicksUntilTheHandlerDisablesIt() {
    QtView view;
    RecordingEvents events;
    view.attach(events);
    int ticks = 0;
    events.onTick = [&] {
      if (++ticks == 3) view.setInstallTimerEnabled(false);
    };
    view.setInstallTimerEnabled(true);
    QVERIFY(view.installTimerEnabled());
    while (view.installTimerEnabled()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QCOMPARE(ticks, 3);
  }

  void closeBoxIsRefusedWhenQueryUnloadCancels() {
    QtView view;
    RecordingEvents events;
    events.refuseUnload = true;
    view.attach(events);
    view.show();
    QVERIFY(!view.close());
    QVERIFY(view.isVisible());
    QVERIFY(!view.ended());
    QCOMPARE(events.calls, Calls{"Form_QueryUnload 0"});
  }

  void unloadRefusedKeepsTheWindow() {
    QtView view;
    RecordingEvents events;
    events.refuseUnload = true;
    view.attach(events);
    view.show();
    view.unload();
    QVERIFY(view.isVisible());
    QVERIFY(!view.ended());
    QCOMPARE(events.calls, Calls{"Form_QueryUnload 1"});
  }

  // Runs in a child copy of this program: the window ends the whole process.
  void terminateEndsTheProcessAtOnceWithoutUnloading() {
    if (qEnvironmentVariableIsSet(kChildVariable)) {
      QtView view;
      RecordingEvents events;
      view.attach(events);
      view.show();
      std::printf("before\n");
      view.terminate(3);
      std::printf("after %zu\n", events.calls.size());
      return;
    }
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(kChildVariable), QStringLiteral("1"));
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("terminateEndsTheProcessAtOnceWithoutUnloading")});
    QVERIFY(child.waitForFinished(60000));
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.exitCode(), 3);
    const QByteArray out = child.readAllStandardOutput();
    QVERIFY(out.contains("before"));
    QVERIFY(!out.contains("after"));
  }

  // The remaining cases end the event loop, so they run it themselves.
  void unloadRunsBothEventsHidesAndEndsTheLoop() {
    QtView view;
    RecordingEvents events;
    view.attach(events);
    view.show();
    view.setInstallTimerEnabled(true);
    events.onTick = [&] { view.unload(); };
    QCOMPARE(runLoop([] {}), 0);
    QCOMPARE(events.calls, (Calls{"tmrComInstall_Timer", "Form_QueryUnload 1", "Form_Unload"}));
    QVERIFY(view.ended());
    QVERIFY(!view.isVisible());
    QVERIFY(!view.installTimerEnabled());
  }

  void closeBoxAcceptedUnloadsAndEndsTheLoop() {
    QtView view;
    RecordingEvents events;
    view.attach(events);
    view.show();
    QCOMPARE(runLoop([&] { view.close(); }), 0);
    QCOMPARE(events.calls, (Calls{"Form_QueryUnload 0", "Form_Unload"}));
    QVERIFY(!view.isVisible());
  }

  void leavingTheLoopOtherwiseStillUnloadsWithTheSessionReason() {
    QtView view;
    RecordingEvents events;
    events.refuseUnload = true;  // cannot be refused any more
    view.attach(events);
    view.show();
    QCOMPARE(runLoop([] { QCoreApplication::exit(0); }), 0);
    QCOMPARE(events.calls, (Calls{"Form_QueryUnload 2", "Form_Unload"}));
    QVERIFY(view.ended());
  }
};

QTEST_MAIN(QtWindowTest)
#include "qt_window_test.moc"
