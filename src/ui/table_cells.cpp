#include "ui/table_cells.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QStyle>
#include <algorithm>

#include "run/history/line_fields.h"

namespace kestrune::ui {

namespace {

QString fullText(const QModelIndex& cell) {
    const QVariant full = cell.data(kFullTextRole);
    return full.isValid() ? full.toString() : cell.data(Qt::DisplayRole).toString();
}

std::string csvField(const QString& text) {
    std::string field = text.toStdString();
    if (field.find_first_of(",\"\r\n") == std::string::npos) return field;
    std::string quoted = "\"";
    for (const char c : field) {
        quoted += c;
        if (c == '"') quoted += '"';
    }
    return quoted + '"';
}

}  // namespace

QString elidedPath(const QString& path, const QFontMetrics& metrics, int width) {
    if (width <= 0 || metrics.horizontalAdvance(path) <= width) return path;
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const QString tail = path.mid(slash);  // "/name", or the whole text without a slash
    const int folderWidth = width - metrics.horizontalAdvance(tail);
    const QString folders =
        slash > 0 ? metrics.elidedText(path.left(slash), Qt::ElideMiddle, folderWidth) : QString();
    if (folders.isEmpty()) return metrics.elidedText(path, Qt::ElideLeft, width);
    return folders + tail;
}

CellDelegate::CellDelegate(std::set<int> pathColumns, QObject* parent)
    : QStyledItemDelegate(parent), pathColumns_(std::move(pathColumns)) {}

// The text is shortened here, to the width the style gives the text, so that the style's own
// shortening (at the end) has nothing left to cut.
void CellDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    option->textElideMode = Qt::ElideRight;
    if (!keepsFileNames(index.column()) || option->rect.isEmpty()) return;
    const QWidget* widget = option->widget;
    const QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
    const int width =
        style->subElementRect(QStyle::SE_ItemViewItemText, option, widget).width() - 2 * margin;
    option->text = elidedPath(option->text, option->fontMetrics, width);
}

QString selectedRowsAsLines(const QAbstractItemView& view) {
    QModelIndexList rows = view.selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    const QAbstractItemModel& model = *view.model();
    QString lines;
    for (const QModelIndex& row : rows) {
        std::string line;
        for (int column = 0; column < model.columnCount(row.parent()); ++column) {
            if (column > 0) line += '\t';
            appendField(line, fullText(row.siblingAtColumn(column)).toStdString());
        }
        lines += QString::fromStdString(line) + QLatin1Char('\n');
    }
    return lines;
}

std::string rowsAsCsv(const QAbstractItemModel& model) {
    std::string csv;
    const int columns = model.columnCount();
    for (int column = 0; column < columns; ++column) {
        if (column > 0) csv += ',';
        csv += csvField(model.headerData(column, Qt::Horizontal).toString());
    }
    csv += "\r\n";
    for (int row = 0; row < model.rowCount(); ++row) {
        for (int column = 0; column < columns; ++column) {
            if (column > 0) csv += ',';
            csv += csvField(fullText(model.index(row, column)));
        }
        csv += "\r\n";
    }
    return csv;
}

void addRowCopy(QAbstractItemView& view) {
    auto* copy = new QAction(QStringLiteral("&Copy"), &view);
    copy->setObjectName(QStringLiteral("CopyRows"));
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    view.addAction(copy);
    view.setContextMenuPolicy(Qt::ActionsContextMenu);
    QObject::connect(copy, &QAction::triggered, &view, [&view] {
        const QString lines = selectedRowsAsLines(view);
        if (!lines.isEmpty()) QGuiApplication::clipboard()->setText(lines);
    });
}

}  // namespace kestrune::ui
