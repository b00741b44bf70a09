#include "shell/program.h"

#include <QMessageBox>
#include <QTimer>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <optional>
#include <thread>

#include "platform/instance_lock.h"
#include "run/history/run_recovery.h"
#include "shell/application.h"
#include "shell/instance_channel.h"
#include "shell/signal_watcher.h"
#include "shell/window_arguments.h"
#include "store/state_folder.h"
#include "ui/Unit1.h"
#include "ui/Unit2.h"
#include "ui/Unit3.h"
#include "ui/error_box.h"
#include "ui/program_icons.h"

namespace kestrune::shell {

namespace {

constexpr std::initializer_list<int> kTerminationSignals{SIGTERM, SIGINT, SIGHUP};
// How long a later start keeps trying: the copy that holds the lock may be starting up (not
// yet listening) or ending (no longer listening, the lock not yet free).
constexpr std::chrono::seconds kRunningCopyWait{10};
constexpr std::chrono::milliseconds kAnswerWait{2000};
constexpr std::chrono::milliseconds kRetryEvery{100};

enum class LaterStart { Shown, Alone, NoAnswer };

// A start that finds the lock held: the copy that runs shows its window and this one ends,
// touching nothing; or that copy ends meanwhile and this one takes the lock and runs.
LaterStart showRunningCopy(int& argc, char** argv, const std::string& channel) {
    const auto deadline = std::chrono::steady_clock::now() + kRunningCopyWait;
    for (;;) {
        {
            const QCoreApplication asking(argc, argv);  // the window's application comes later
            if (!channel.empty() &&
                askRunningCopyToShow(QString::fromStdString(channel), kAnswerWait)) {
                return LaterStart::Shown;
            }
        }
        if (acquireInstanceLock("kestrune") != InstanceLockResult::HeldElsewhere) {
            return LaterStart::Alone;
        }
        if (std::chrono::steady_clock::now() >= deadline) return LaterStart::NoAnswer;
        std::this_thread::sleep_for(kRetryEvery);
    }
}

}  // namespace

void showStartFailure(const QString& message) {
    QMessageBox::critical(
        nullptr, ui::applicationTitle(),
        QStringLiteral("Kestrune could not start.\n") + ui::withFullStop(message));
}

Program::Program(ProgramOptions options)
    : options_(std::move(options)), signals_(new SignalWatcher(kTerminationSignals, this)) {
    connect(signals_, &SignalWatcher::terminationRequested, this, &Program::terminationRequested);
    connect(qApp, &QGuiApplication::commitDataRequest, this, &Program::commitData);
    qApp->installEventFilter(this);
}

Program::~Program() = default;

bool Program::start() {
    const auto makeTray = [this](TForm1& window) {
        auto tray = std::make_unique<TrayIcon>(window, options_.trayAvailable);
        tray_ = tray.get();
        return tray;
    };
    try {
        form1_ = std::make_unique<TForm1>(options_.programFolder, makeTray);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "kestrune: %s\n", error.what());
        options_.reportStartFailure(QString::fromStdString(error.what()));
        return false;
    }
    form2_ = new TForm2(form1_->settings(), form1_.get());
    form3_ = new TForm3(form1_.get());
    form1_->attachDialogs(form2_, form3_);
    connect(form1_.get(), &TForm1::exitRequested, this, [this] {
        if (channel_ != nullptr) channel_->close();
        QCoreApplication::exit(0);
    });
    listenForLaterStarts();
    return true;
}

// Also a start with --hidden shows the window when asked: the user asked for it just now.
void Program::listenForLaterStarts() {
    if (options_.instanceChannel.isEmpty()) return;
    channel_ = new InstanceChannel(options_.instanceChannel, this);
    connect(channel_, &InstanceChannel::showRequested, form1_.get(), &TForm1::showMainWindow);
    if (!channel_->listen()) {
        std::fprintf(stderr, "kestrune: later starts cannot reach this one: %s\n",
                     qPrintable(channel_->error()));
    }
}

int Program::run() {
    showUnlessHidden();
    showRecovery();
    const int code = QCoreApplication::exec();
    form1_->shutdownSave();
    return code;
}

// Runs cut short before this start are put right first; the user hears of it in one message,
// which waits for no answer.
void Program::showRecovery() {
    QStringList lines;
    try {
        for (const std::string& line :
             recoverInterruptedRuns(options_.programFolder.toStdString())) {
            lines << QString::fromStdString(line);
        }
    } catch (const std::exception& error) {
        lines << QString::fromUtf8(error.what());
    }
    if (lines.isEmpty()) return;
    auto* box =
        new QMessageBox(QMessageBox::Information, QStringLiteral("Kestrune"),
                        QStringLiteral("Runs cut short were recovered:\n") + lines.join(u'\n'));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

// Hidden only while a notification area can bring the window back: it is looked for a few
// times during trayWait, then the window shows.
void Program::showUnlessHidden() {
    if (!options_.startHidden || tray_ == nullptr) {
        form1_->show();
        return;
    }
    if (tray_->available()) return;
    constexpr std::chrono::milliseconds kLookEvery{250};
    auto* look = new QTimer(this);
    const auto deadline = std::chrono::steady_clock::now() + options_.trayWait;
    connect(look, &QTimer::timeout, this, [this, look, deadline] {
        if (tray_->available()) {
            look->deleteLater();
        } else if (std::chrono::steady_clock::now() >= deadline) {
            look->deleteLater();
            form1_->show();
        }
    });
    look->start(std::min(kLookEvery, options_.trayWait));
}

// A signal ends the program as Exit does, with its save; during a failed start-up it closes
// the report.
void Program::terminationRequested() {
    if (form1_) {
        form1_->EndProgram();
    } else {
        QCoreApplication::exit(1);
    }
}

// The end of the desktop session asks the application to quit. Left to Qt, that would try to
// close the main window, which only hides it; Exit ends the program with its save instead.
bool Program::eventFilter(QObject* watched, QEvent* event) {
    if (watched == qApp && event->type() == QEvent::Quit && form1_) {
        form1_->EndProgram();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

// The desktop session is ending and may not wait for the program: save now.
void Program::commitData() {
    if (!form1_) return;
    try {
        form1_->saveState();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "kestrune: %s\n", error.what());
    }
}

int runKestrune(int& argc, char** argv) {
    const WindowArguments arguments = readWindowArguments({argv + std::min(argc, 1), argv + argc});
    if (arguments.action != WindowArguments::Action::Run) return answerWithoutWindow(arguments);
    std::optional<SignalHold> hold(std::in_place, kTerminationSignals);
    const std::string channel = instanceChannelPath("kestrune");
    if (acquireInstanceLock("kestrune") == InstanceLockResult::HeldElsewhere) {
        if (arguments.hidden) return 0;  // started at login, say: nothing to show
        switch (showRunningCopy(argc, argv, channel)) {
            case LaterStart::Shown:
                return 0;
            case LaterStart::NoAnswer:
                std::fputs("kestrune: Kestrune is running already but did not answer\n", stderr);
                return 0;
            case LaterStart::Alone:
                break;
        }
    }
    Application application(argc, argv);
    Application::setWindowIcon(ui::programIcon());
    ProgramOptions options;
    options.programFolder = QString::fromStdString(stateFolder().path);
    options.startHidden = arguments.hidden;
    options.instanceChannel = QString::fromStdString(channel);
    Program program(std::move(options));
    hold.reset();
    if (!program.start()) return 1;
    return program.run();
}

}  // namespace kestrune::shell
