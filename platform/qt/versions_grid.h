#pragma once
// grdVersions: a one-column, header-less, read-only list of deployment descriptions where a
// whole row is chosen. A click makes the row under the pointer current; a double-click
// reports the row under the pointer, -1 beside or below the rows. Window thread only.

#include <QTableWidget>
#include <string>
#include <vector>

namespace zentro::qt {

class VersionsGrid : public QTableWidget {
  Q_OBJECT
 public:
  explicit VersionsGrid(QWidget* parent = nullptr);

  // Replaces the rows (no current row afterwards) and shows the first rows.
  void setRows(const std::vector<std::string>& rows);
  // Makes `row` current and selected; a row outside the rows clears the current row.
  void setCurrent(int row);

 signals:
  void rowDoubleClicked(int row);

 protected:
  void mouseDoubleClickEvent(QMouseEvent* event) override;
};

}  // namespace zentro::qt
