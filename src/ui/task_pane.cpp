#include "ui/task_pane.h"

#include <QDir>
#include <QLabel>
#include <QVBoxLayout>

#include "run/plan/task_record.h"
#include "run/service/run_summary.h"
#include "run/service/task_description.h"
#include "ui/shown_text.h"

namespace kestrune::ui {

namespace {

QLabel* makeLine(QWidget* parent, const char* name) {
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

// The figures as every view words them, and what became of the run since.
QString lastRunText(const HistoryEntry& run) {
    const RunSummary summary = summaryOf(run.journal);
    QString text = QStringLiteral("Last run %1: %2")
                       .arg(localTime(run.journal.started),
                            QString::fromStdString(figuresText(summary.figures)));
    if (summary.stopped) text += QStringLiteral(", stopped");
    if (run.state == RunState::Undone || run.state == RunState::PartlyUndone ||
        run.state == RunState::Running) {
        text += QStringLiteral("; ") + QString::fromLatin1(runStateWord(run.state));
    }
    return text;
}

QString nextRunWords(const QDateTime& next, const QDateTime& now) {
    if (next <= now) return QStringLiteral("next shortly");
    const QDateTime local = next.toLocalTime();
    if (local.date() == now.toLocalTime().date()) {
        return QStringLiteral("next at %1").arg(local.toString(QStringLiteral("HH:mm")));
    }
    return QStringLiteral("next on %1").arg(local.toString(QStringLiteral("yyyy-MM-dd HH:mm")));
}

}  // namespace

std::map<std::string, HistoryEntry> lastRunOfEachTask(std::vector<HistoryEntry> history) {
    std::map<std::string, HistoryEntry> last;
    for (HistoryEntry& entry : history) {
        if (!entry.problem.empty() || !entry.journal.undoes.empty()) continue;
        last.try_emplace(entry.journal.plan.task, std::move(entry));
    }
    return last;
}

QString byItselfText(const TaskRecord& record, bool paused, const QDateTime& nextInterval,
                     const QDateTime& now) {
    if (!record.watch && record.everyMinutes <= 0) return QStringLiteral("Runs by hand only");
    if (paused) {
        return QStringLiteral("Runs by itself: paused (Options > Run Tasks Automatically is off)");
    }
    QStringList when;
    if (record.watch) when << QStringLiteral("on changes in the source");
    if (record.everyMinutes > 0) {
        QString every = record.everyMinutes == 1
                            ? QStringLiteral("every minute")
                            : QStringLiteral("every %1 minutes").arg(record.everyMinutes);
        if (nextInterval.isValid()) every += QStringLiteral(", ") + nextRunWords(nextInterval, now);
        when << every;
    }
    return QStringLiteral("Runs by itself ") + when.join(QStringLiteral(" and "));
}

TaskPane::TaskPane(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("TaskPane"));
    title_ = makeLine(this, "PaneTitle");
    QFont bold = title_->font();
    bold.setBold(true);
    title_->setFont(bold);
    sentence_ = makeLine(this, "PaneSentence");
    problem_ = makeLine(this, "PaneProblem");
    QPalette warning = problem_->palette();
    warning.setColor(QPalette::WindowText, Qt::darkRed);
    problem_->setPalette(warning);
    lastRun_ = makeLine(this, "PaneLastRun");
    lastRun_->setTextFormat(Qt::RichText);
    lastRun_->setTextInteractionFlags(Qt::TextBrowserInteraction);
    connect(lastRun_, &QLabel::linkActivated, this, &TaskPane::reportRequested);
    nextRun_ = makeLine(this, "PaneNextRun");
    auto* layout = new QVBoxLayout(this);
    for (QLabel* line : {title_, sentence_, problem_, lastRun_, nextRun_}) {
        layout->addWidget(line);
        line->setTextFormat(line == lastRun_ ? Qt::RichText : Qt::PlainText);
    }
    layout->addStretch();
    showNothing();
}

void TaskPane::begin(const QString& title, const QString& sentence) {
    title_->setText(escapedControls(title));
    sentence_->setText(sentence);
    for (QLabel* line : {problem_, lastRun_, nextRun_}) {
        line->clear();
        line->hide();
    }
}

void TaskPane::showNothing() {
    begin({}, QStringLiteral("Select a task to see what it does."));
}

void TaskPane::showGroup(const QString& name, int tasks) {
    begin(name, tasks == 1 ? QStringLiteral("A group of 1 task.")
                           : QStringLiteral("A group of %1 tasks.").arg(tasks));
}

void TaskPane::showTask(const QString& name, const std::optional<TaskRecord>& record,
                        const HistoryEntry* lastRun, const QString& byItself) {
    if (!record) {
        begin(name,
              QStringLiteral("No settings yet: Edit It sets its folders, action and filters."));
        return;
    }
    begin(name, escapedControls(
                    QString::fromStdString(describeTask(*record, QDir::homePath().toStdString())) +
                    QLatin1Char('.')));
    if (const std::string problem = recordProblem(*record); !problem.empty()) {
        problem_->setText(QStringLiteral("Cannot run: %1").arg(QString::fromStdString(problem)));
        problem_->show();
    }
    lastRun_->setText(lastRun == nullptr
                          ? QStringLiteral("Not run yet")
                          : QStringLiteral("%1 (<a href=\"%2\">report</a>)")
                                .arg(lastRunText(*lastRun).toHtmlEscaped(),
                                     QString::fromStdString(lastRun->path).toHtmlEscaped()));
    lastRun_->show();
    nextRun_->setText(byItself);
    nextRun_->show();
}

}  // namespace kestrune::ui
