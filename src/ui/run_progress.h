#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

namespace kestrune::ui {

struct RunProgress;

// Shows the run under way, refreshed a few times a second from what the worker writes: the
// task, entries done of the planned total, the current entry, and Cancel, which stops the
// run between two entries. Not modal: the tree stays usable while it is up.
class RunProgressDialog : public QDialog {
    Q_OBJECT

  public:
    RunProgressDialog(RunProgress& progress, QWidget* parent);
    void start();
    void stop();

  protected:
    void reject() override;

  signals:
    void cancelRequested();

  private:
    void refresh();

    RunProgress& progress_;
    QLabel* task_;
    QLabel* count_;
    QLabel* current_;
    QProgressBar* bar_;
    QPushButton* cancel_;
    QTimer* timer_;
};

}  // namespace kestrune::ui
