#include "ui/auto_runs.h"

#include <QTimer>
#include <chrono>
#include <system_error>

#include "run/auto/auto_runner.h"

namespace kestrune::ui {

namespace {

constexpr int kRestartDelayMs = 3000;

}  // namespace

AutoRuns::AutoRuns(QString stateFolder, QObject* parent)
    : QObject(parent), stateFolder_(std::move(stateFolder)) {}

AutoRuns::~AutoRuns() {
    setActive(false);
}

void AutoRuns::setActive(bool active) {
    wanted_ = active;
    if (active) {
        start();
    } else {
        stop();
    }
}

void AutoRuns::stop() {
    if (!runner_) return;
    runner_->stop();
    loop_.join();
    runner_.reset();
}

void AutoRuns::start() {
    if (runner_) return;
    AutoRunnerOptions options;
    options.notice = [this](const AutoNotice& told) {
        emit notice(QString::fromStdString(told.text));
    };
    options.scheduleChanged = [this] { emit scheduleChanged(); };
    if (adjust_) adjust_(options);
    try {
        runner_ = std::make_unique<AutoRunner>(
            stateFolder_.toStdString(),
            [this](const DueRun& due) { emit runDue(QString::fromStdString(due.task)); },
            std::move(options));
    } catch (const std::system_error& e) {
        loopFailed(QString::fromLocal8Bit(e.what()));
        return;
    }
    loop_ = std::thread([this, runner = runner_.get()] {
        // Nothing may leave the thread: the program would end at once.
        try {
            runner->run();
        } catch (const std::exception& e) {
            QMetaObject::invokeMethod(
                this, [this, why = QString::fromLocal8Bit(e.what())] { loopFailed(why); },
                Qt::QueuedConnection);
        }
    });
}

// A loop that failed is said so where the user looks, and starts again a little later: the
// tasks go on running by themselves, the user need not notice and restart them.
void AutoRuns::loopFailed(const QString& why) {
    stop();
    emit failed(QStringLiteral("Tasks stopped running by themselves (%1); they start again in a "
                               "few seconds")
                    .arg(why));
    QTimer::singleShot(kRestartDelayMs, this, [this] {
        if (wanted_) start();
    });
}

QDateTime AutoRuns::nextIntervalRun(const QString& task) const {
    if (!runner_) return {};
    const auto next = runner_->nextIntervalRun(task.toStdString());
    if (!next) return {};
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(next->time_since_epoch());
    return QDateTime::fromMSecsSinceEpoch(ms.count());
}

void AutoRuns::runEnded(const QString& task, const QStringList& ownChanges, const QString& problem,
                        bool again) {
    if (!runner_) return;  // paused meanwhile: the next start reads the history anew
    std::vector<std::string> paths;
    paths.reserve(static_cast<std::size_t>(ownChanges.size()));
    for (const QString& path : ownChanges) paths.push_back(path.toStdString());
    runner_->runEnded(task.toStdString(), std::move(paths), problem.toStdString(), again);
}

}  // namespace kestrune::ui
