#include "ui/selection_previewer.h"

namespace kestrune::ui {

namespace {

// Long enough to let a word be typed without a walk per key.
constexpr int kDelayMs = 300;

}  // namespace

SelectionPreviewer::SelectionPreviewer(QObject* parent) : QObject(parent) {
    delay_.setSingleShot(true);
    delay_.setInterval(kDelayMs);
    pool_.setMaxThreadCount(1);
    connect(&delay_, &QTimer::timeout, this, &SelectionPreviewer::startWalk);
}

SelectionPreviewer::~SelectionPreviewer() {
    if (stop_) stop_->store(true);
    pool_.waitForDone();
}

void SelectionPreviewer::request(const TaskRecord& record) {
    pending_ = record;
    ++generation_;
    delay_.start();
}

void SelectionPreviewer::startWalk() {
    if (walking_) {
        stop_->store(true);
        again_ = true;
        return;
    }
    walking_ = true;
    stop_ = std::make_shared<std::atomic<bool>>(false);
    pool_.start([this, record = pending_, generation = generation_, stop = stop_] {
        SelectionPreview preview = previewSelection(record, kShown, stop.get());
        QMetaObject::invokeMethod(
            this,
            [this, generation, preview = std::move(preview)] { walkDone(generation, preview); },
            Qt::QueuedConnection);
    });
}

void SelectionPreviewer::walkDone(quint64 generation, const SelectionPreview& preview) {
    walking_ = false;
    if (again_) {
        again_ = false;
        startWalk();
        return;
    }
    if (generation == generation_) emit ready(preview);
}

}  // namespace kestrune::ui
