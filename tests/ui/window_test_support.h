#pragma once

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>
#include <memory>

namespace kestrune::test {

inline QByteArray readBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll();
}

inline void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) file.write(bytes);
}

// Closes the next modal window as soon as it is up (a dialog, a message box) and keeps what
// it showed, for commands that open one and wait for it. Gives up after a few seconds.
class ModalCloser {
  public:
    ModalCloser() : state_(std::make_shared<State>()) { poll(state_, 500); }

    bool seen() const { return state_->seen; }
    const QString& title() const { return state_->title; }
    const QString& text() const { return state_->text; }

  private:
    struct State {
        bool seen = false;
        QString title;
        QString text;
    };

    static void poll(const std::shared_ptr<State>& state, int triesLeft) {
        QTimer::singleShot(10, [state, triesLeft] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal == nullptr) {
                if (triesLeft > 0) poll(state, triesLeft - 1);
                return;
            }
            state->seen = true;
            state->title = modal->windowTitle();
            if (auto* box = qobject_cast<QMessageBox*>(modal)) state->text = box->text();
            modal->close();
        });
    }

    std::shared_ptr<State> state_;
};

// Closes every modal window that comes up while it lives, at once, keeping their titles in
// order: for a command that must open exactly one box, or none.
class ModalCounter {
  public:
    ModalCounter() {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal == nullptr || !modal->isVisible()) return;
            titles << modal->windowTitle();
            modal->close();
        });
        timer_.start();
    }

    QStringList titles;

  private:
    QTimer timer_;
};

}  // namespace kestrune::test
