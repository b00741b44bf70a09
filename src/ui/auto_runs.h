#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <thread>

namespace kestrune {
class AutoRunner;
struct AutoRunnerOptions;
}  // namespace kestrune

namespace kestrune::ui {

// The window program's automatic runs: the core's loop on a thread of its own, which says
// when a task is due; the window carries the run out and tells runEnded().
class AutoRuns : public QObject {
    Q_OBJECT

  public:
    // stateFolder ends with "/".
    explicit AutoRuns(QString stateFolder, QObject* parent = nullptr);
    ~AutoRuns() override;

    // Starts or stops watching and timing every task set to run by itself. A start reads the
    // rules and the history afresh, so an overdue interval run follows shortly, and each
    // watching task runs once in full for what came while nobody watched.
    void setActive(bool active);
    bool active() const { return runner_ != nullptr; }
    // Lets a test change the loop's options (its clock, its folder watch) before each start.
    void adjustOptions(std::function<void(AutoRunnerOptions&)> adjust) {
        adjust_ = std::move(adjust);
    }
    // When the task next runs by its interval; invalid while paused, for a task that does not
    // run at intervals, or before the loop has taken the task in.
    QDateTime nextIntervalRun(const QString& task) const;

    // The run that runDue() asked for is over (on the window's thread). ownChanges: the full paths
    // it created, moved or removed; problem: why it failed, or empty; again: it did not do its
    // work (dropped, stopped, or run by another process): the task is due again later.
    void runEnded(const QString& task, const QStringList& ownChanges, const QString& problem,
                  bool again);

  signals:
    // From the loop's thread, so connections to the window are queued.
    void runDue(const QString& task);
    // Something the user is to hear once.
    void notice(const QString& text);
    // The loop failed; it starts again shortly. For the status bar and the tray's tip.
    void failed(const QString& text);
    // nextIntervalRun() changed for some task (from the loop's thread as well).
    void scheduleChanged();

  private:
    void start();
    void stop();
    void loopFailed(const QString& why);

    QString stateFolder_;
    std::unique_ptr<AutoRunner> runner_;
    std::thread loop_;
    bool wanted_ = false;  // the user's choice, which a failed loop does not change
    std::function<void(AutoRunnerOptions&)> adjust_;
};

}  // namespace kestrune::ui
