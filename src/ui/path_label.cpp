#include "ui/path_label.h"

#include "ui/shown_text.h"
#include "ui/table_cells.h"

namespace kestrune::ui {

PathLabel::PathLabel(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
}

void PathLabel::setPath(const QString& caption, const QString& path) {
    caption_ = caption;
    path_ = path;
    setToolTip(escapedControls(path));
    fit();
}

QSize PathLabel::minimumSizeHint() const {
    return {fontMetrics().horizontalAdvance(caption_), QLabel::minimumSizeHint().height()};
}

void PathLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    fit();
}

void PathLabel::fit() {
    const int room = contentsRect().width() - fontMetrics().horizontalAdvance(caption_);
    setText(caption_ + elidedPath(escapedControls(path_), fontMetrics(), room));
}

}  // namespace kestrune::ui
