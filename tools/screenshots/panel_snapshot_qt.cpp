// Shows each panel of the Qt window filled with demonstration texts and saves a picture of
// it: login.png, versions.png and install.png in the folder given as the only argument.
// Used by scripts/screenshots.sh.
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <cstdio>

#include "platform/qt/qt_view.h"

using namespace zentro;

namespace {

bool save(zentro::qt::QtView& view, const QDir& folder, const char* name) {
  view.repaint();
  QCoreApplication::processEvents();
  const QString path = folder.filePath(QString::fromLatin1(name));
  if (!view.grab().save(path)) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
  }
  std::printf("%s\n", qPrintable(path));
  return true;
}

}  // namespace

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: panel_snapshot <output folder>\n");
    return 2;
  }
  const QDir folder(QString::fromLocal8Bit(argv[1]));
  if (!folder.exists()) {
    std::fprintf(stderr, "no such folder: %s\n", argv[1]);
    return 2;
  }

  zentro::qt::QtView view;
  view.setCaption("VMI Zentro, version 300.1100.0.11");
  view.setText(TextBox::FilerCode, "ABC");
  view.setText(TextBox::Login, "JDOE");
  view.setText(TextBox::Password, "secret");
  view.setRememberChecked(true);
  view.setLabel(Label::Status, "Validating deployment options...");
  view.show();
  view.setFocus(Focusable::Password);
  bool ok = save(view, folder, "login.png");

  view.setGridRows({"Velmora Customs Filing 12.4 (Production)", "Velmora Customs Filing 12.5 (Pilot)",
                    "Velmora Broker Desktop 8.1", "Velmora Broker Desktop 8.2 (Training)"});
  view.setCurrentGridRow(0);
  view.setPanelVisible(Panel::Versions, true);
  view.setFocus(Focusable::Grid);
  ok = save(view, folder, "versions.png") && ok;

  view.setPanelVisible(Panel::Install, true);
  view.setLabel(Label::Message, "[Velmora Customs Filing 12.4 (Production)] Checking for updates...");
  view.setLabel(Label::FrameStatus, "Downloading and Installing: Customs forms library");
  view.setBarWidth(Bar::Total, kTotalBarWidth * 0.45);
  view.setBarWidth(Bar::Current, kCurrentBarWidth * 0.3);
  view.setLabel(Label::Bytes, "3k of 10k");
  ok = save(view, folder, "install.png") && ok;
  return ok ? 0 : 1;
}
