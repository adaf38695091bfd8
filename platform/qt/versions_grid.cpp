#include "platform/qt/versions_grid.h"

#include <QHeaderView>
#include <QMouseEvent>

namespace zentro::qt {

VersionsGrid::VersionsGrid(QWidget* parent) : QTableWidget(parent) {
  setColumnCount(1);
  horizontalHeader()->hide();
  horizontalHeader()->setStretchLastSection(true);
  verticalHeader()->hide();
  setShowGrid(false);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setWordWrap(false);
  setTextElideMode(Qt::ElideRight);
  setAlternatingRowColors(true);
  setTabKeyNavigation(false);
}

void VersionsGrid::setRows(const std::vector<std::string>& rows) {
  clearContents();
  setRowCount(int(rows.size()));
  for (int r = 0; r < int(rows.size()); ++r) {
    auto* item = new QTableWidgetItem(QString::fromStdString(rows[std::size_t(r)]));
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    item->setToolTip(item->text());
    setItem(r, 0, item);
  }
  setCurrent(-1);
  scrollToTop();
}

void VersionsGrid::setCurrent(int row) {
  if (row >= 0 && row < rowCount()) {
    setCurrentCell(row, 0);
    scrollToItem(item(row, 0));
  } else {
    setCurrentIndex(QModelIndex());
    clearSelection();
  }
}

void VersionsGrid::mouseDoubleClickEvent(QMouseEvent* event) {
  // The press of the double-click has already made the row current (base class).
  QTableWidget::mouseDoubleClickEvent(event);
  if (event->button() != Qt::LeftButton) return;
  const int row = rowAt(event->position().toPoint().y());
  emit rowDoubleClicked(row >= 0 && row < rowCount() ? row : -1);
}

}  // namespace zentro::qt
