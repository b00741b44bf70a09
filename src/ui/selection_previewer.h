#pragma once

#include <QObject>
#include <QThreadPool>
#include <QTimer>
#include <atomic>
#include <memory>

#include "run/editor/selection_preview.h"
#include "run/plan/task_record.h"

namespace kestrune::ui {

// Works out, on a thread of its own, what a task as entered would select: a moment after the
// last request, one walk at a time. A newer request stops the walk still going, and only the
// newest request's answer is told.
class SelectionPreviewer : public QObject {
    Q_OBJECT

  public:
    static constexpr std::size_t kShown = 500;

    explicit SelectionPreviewer(QObject* parent = nullptr);
    // Stops a walk still going and waits the moment it takes to end.
    ~SelectionPreviewer() override;

    void request(const TaskRecord& record);

  signals:
    void ready(const kestrune::SelectionPreview& preview);

  private:
    void startWalk();
    void walkDone(quint64 generation, const SelectionPreview& preview);

    QTimer delay_;
    QThreadPool pool_;
    TaskRecord pending_;
    quint64 generation_ = 0;
    std::shared_ptr<std::atomic<bool>> stop_;  // the current walk's
    bool walking_ = false;
    bool again_ = false;  // the delay ran out during a walk
};

}  // namespace kestrune::ui
