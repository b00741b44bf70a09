#pragma once

#include <QStyledItemDelegate>
#include <set>
#include <string>

class QAbstractItemModel;
class QFontMetrics;
class QAbstractItemView;
class QHeaderView;

namespace kestrune::ui {

// The role under which a table's cell gives its whole text, not shortened and not escaped:
// what a copy and a saved file take. A cell without it gives its shown text.
inline constexpr int kFullTextRole = Qt::UserRole + 1;

// A path shortened to the width: the folders give way first, in their middle, so that the
// file name stays whole while it fits; a name too long alone loses its beginning. As it is
// when it fits, or when no width is known (width <= 0).
QString elidedPath(const QString& path, const QFontMetrics& metrics, int width);

// Shows the path columns' cells by elidedPath and every other column's cut at its end.
class CellDelegate : public QStyledItemDelegate {
    Q_OBJECT

  public:
    CellDelegate(std::set<int> pathColumns, QObject* parent);
    bool keepsFileNames(int column) const { return pathColumns_.count(column) != 0; }

  protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

  private:
    std::set<int> pathColumns_;
};

// The selected rows in the view's order, one line each, their cells' whole texts separated by
// TABs and escaped as kestrune-cli escapes its fields.
QString selectedRowsAsLines(const QAbstractItemView& view);
// Every row of the model as CSV (RFC 4180: quoted where needed, CR LF), the column captions first.
std::string rowsAsCsv(const QAbstractItemModel& model);
// Copy (Ctrl+C, and in the view's context menu) puts selectedRowsAsLines on the clipboard.
void addRowCopy(QAbstractItemView& view);

}  // namespace kestrune::ui
