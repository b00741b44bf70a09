#pragma once

#include <QObject>
#include <QString>
#include <chrono>
#include <functional>
#include <memory>

#include "shell/tray_icon.h"

class TForm1;
class TForm2;
class TForm3;

namespace kestrune::shell {

class InstanceChannel;
class SignalWatcher;

// The last-resort report of a failed start-up, in a message box.
void showStartFailure(const QString& message);

struct ProgramOptions {
    QString programFolder;  // the state folder of the program's files; ends with "/"
    TrayIcon::AvailabilityQuery trayAvailable = &QSystemTrayIcon::isSystemTrayAvailable;
    std::function<void(const QString&)> reportStartFailure = &showStartFailure;
    // Start in the notification area; where none appears within trayWait, the window shows.
    // At login the notification area may come up after the programs the desktop starts.
    bool startHidden = false;
    std::chrono::milliseconds trayWait{10000};
    // Where later starts of the program ask this one to show its window; empty: nowhere.
    QString instanceChannel;
};

// One run of the window program inside an existing application object: the three windows,
// the tray icon, the event loop and the saves around it.
class Program : public QObject {
    Q_OBJECT

  public:
    explicit Program(ProgramOptions options);
    ~Program() override;

    // Creates the main window, the task editor and the About box, in this order. False when
    // the main window could not be created; the failure has been reported and nothing written.
    bool start();
    // Shows the main window (unless it starts hidden in the tray) and runs the event loop
    // until Exit; then the shutdown save.
    int run();

    TForm1* mainWindow() const { return form1_.get(); }
    TForm2* editor() const { return form2_; }
    TForm3* about() const { return form3_; }
    TrayIcon* trayIcon() const { return tray_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void showUnlessHidden();
    void showRecovery();
    void terminationRequested();
    void commitData();
    void listenForLaterStarts();

    ProgramOptions options_;
    SignalWatcher* signals_;
    std::unique_ptr<TForm1> form1_;
    TForm2* form2_ = nullptr;
    TForm3* form3_ = nullptr;
    TrayIcon* tray_ = nullptr;
    InstanceChannel* channel_ = nullptr;
};

// The program: its options (answered without a display), the single-instance guard (a later
// start asks the running copy to show its window, and ends), then the window program on its
// state folder. Returns the exit code.
int runKestrune(int& argc, char** argv);

}  // namespace kestrune::shell
