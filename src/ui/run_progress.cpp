#include "ui/run_progress.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "ui/run_worker.h"

namespace kestrune::ui {

RunProgressDialog::RunProgressDialog(RunProgress& progress, QWidget* parent)
    : QDialog(parent), progress_(progress), timer_(new QTimer(this)) {
    setObjectName(QStringLiteral("RunProgress"));
    setWindowTitle(QStringLiteral("Running"));
    setModal(false);
    task_ = new QLabel(this);
    task_->setObjectName(QStringLiteral("Task"));
    count_ = new QLabel(this);
    count_->setObjectName(QStringLiteral("Count"));
    current_ = new QLabel(this);
    current_->setObjectName(QStringLiteral("Current"));
    current_->setMinimumWidth(380);
    current_->setTextFormat(Qt::PlainText);
    bar_ = new QProgressBar(this);
    cancel_ = new QPushButton(QStringLiteral("&Cancel"), this);
    cancel_->setObjectName(QStringLiteral("Cancel"));
    connect(cancel_, &QPushButton::clicked, this, [this] {
        cancel_->setEnabled(false);
        cancel_->setText(QStringLiteral("Stopping…"));
        emit cancelRequested();
    });
    auto* layout = new QVBoxLayout(this);
    for (QWidget* widget : {static_cast<QWidget*>(task_), static_cast<QWidget*>(count_),
                            static_cast<QWidget*>(bar_), static_cast<QWidget*>(current_)}) {
        layout->addWidget(widget);
    }
    layout->addWidget(cancel_, 0, Qt::AlignRight);
    timer_->setInterval(100);
    connect(timer_, &QTimer::timeout, this, &RunProgressDialog::refresh);
}

void RunProgressDialog::start() {
    cancel_->setEnabled(true);
    cancel_->setText(QStringLiteral("&Cancel"));
    refresh();
    timer_->start();
    show();
}

void RunProgressDialog::stop() {
    timer_->stop();
    hide();
}

// Esc or the frame's close box stop the run as Cancel does; the box stays until it ended.
void RunProgressDialog::reject() {
    if (cancel_->isEnabled()) cancel_->click();
}

void RunProgressDialog::refresh() {
    const std::size_t done = progress_.done;
    const std::size_t total = progress_.total;
    task_->setText(QStringLiteral("Task: %1").arg(QString::fromStdString(progress_.task())));
    count_->setText(total == 0 ? QStringLiteral("Planning…")
                               : QStringLiteral("%1 of %2 entries").arg(done).arg(total));
    bar_->setRange(0, total == 0 ? 0 : 1000);
    if (total > 0) bar_->setValue(static_cast<int>(done * 1000 / total));
    const QString current = QString::fromStdString(progress_.current());
    current_->setText(
        current_->fontMetrics().elidedText(current, Qt::ElideMiddle, current_->width()));
}

}  // namespace kestrune::ui
