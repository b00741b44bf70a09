#pragma once

#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "store/task_tree.h"
#include "ui/Unit1.h"
#include "ui/Unit2.h"
#include "ui/Unit3.h"
#include "ui/tray_port.h"
#include "window_test_support.h"

namespace kestrune::test {

struct TrayLog {
    bool available = true;
    int added = 0;
    int removed = 0;
    QString tip;
    QStringList notifications;
};

class FakeTray : public ui::TrayPort {
  public:
    explicit FakeTray(TrayLog& log) : log_(log) {}
    void add() override { ++log_.added; }
    void remove() override { ++log_.removed; }
    bool available() const override { return log_.available; }
    void setTip(const QString& tip) override { log_.tip = tip; }
    void notify(const QString& title, const QString& message) override {
        log_.notifications << title + QLatin1Char('|') + message;
    }

  private:
    TrayLog& log_;
};

// A main window on a scratch program folder, with its two dialogs, a tray that only keeps
// count, and the errors it reported instead of showing them.
struct MainWindow {
    explicit MainWindow(const QString& folder, TrayLog* tray = nullptr) {
        TForm1::TrayFactory makeTray;
        if (tray != nullptr) {
            makeTray = [tray](TForm1&) { return std::make_unique<FakeTray>(*tray); };
        }
        form = std::make_unique<TForm1>(folder, makeTray);
        editor = new TForm2(form->settings(), form.get());
        about = new TForm3(form.get());
        form->attachDialogs(editor, about);
        form->setErrorReporter([this](const QString& message) { errors << message; });
        form->setEditOffer([this](const QString& message, bool) {
            offers << message;
            return false;
        });
    }

    TreeNode* node(const std::string& text) const {
        for (TreeNode* each : form->tree().allNodes()) {
            if (each->text == text) return each;
        }
        return nullptr;
    }

    // Lets the event loop run until the runs asked for have ended and reported.
    bool runsEnd() const {
        for (int waited = 0; form->runGoing() && waited < 30000; waited += 5) QTest::qWait(5);
        return !form->runGoing();
    }

    std::unique_ptr<TForm1> form;
    TForm2* editor = nullptr;
    TForm3* about = nullptr;
    QStringList errors;
    QStringList offers;  // a node without a record was to run: what the window said
};

}  // namespace kestrune::test
