#include "ui/program_icons.h"

#include <QPixmap>
#include <QString>

// The images are compiled into this static library, whose resource initialiser the linker
// would otherwise drop.
static void loadCompiledResources() {
    Q_INIT_RESOURCE(resources);
}

namespace kestrune::ui {

namespace {

struct ToolImageNames {
    const char* theme;  // freedesktop icon naming
    const char* fallback;
};

ToolImageNames namesOf(ToolImage image) {
    switch (image) {
        case ToolImage::Run:
            return {"media-playback-start", ":/icons/run.svg"};
        case ToolImage::RunWithSubtasks:
            return {"media-seek-forward", ":/icons/run-with-subtasks.svg"};
        case ToolImage::RunSubtasksOnly:
            return {"media-skip-forward", ":/icons/run-subtasks-only.svg"};
        case ToolImage::Delete:
            return {"edit-delete", ":/icons/delete.svg"};
        case ToolImage::Edit:
            return {"document-properties", ":/icons/edit.svg"};
        case ToolImage::NewTask:
            return {"document-new", ":/icons/new-task.svg"};
        case ToolImage::NewSubtask:
            return {"list-add", ":/icons/new-subtask.svg"};
    }
    return {"", ""};
}

void ensureResources() {
    static const bool loaded = (loadCompiledResources(), true);
    (void)loaded;
}

}  // namespace

QIcon programIcon() {
    ensureResources();
    QIcon icon(QStringLiteral(":/icons/kestrune.svg"));
    for (const int size : {16, 32, 48, 256}) {
        icon.addFile(QStringLiteral(":/icons/kestrune-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

QIcon toolImage(ToolImage image) {
    ensureResources();
    const ToolImageNames names = namesOf(image);
    return QIcon::fromTheme(QString::fromLatin1(names.theme),
                            QIcon(QString::fromLatin1(names.fallback)));
}

QIcon taskMark(TaskMark mark) {
    ensureResources();
    switch (mark) {
        case TaskMark::Watches:
            return QIcon(QStringLiteral(":/icons/watches.svg"));
        case TaskMark::AtIntervals:
            return QIcon(QStringLiteral(":/icons/interval.svg"));
        case TaskMark::None:
            break;
    }
    QPixmap blank(16, 16);
    blank.fill(Qt::transparent);
    return QIcon(blank);
}

}  // namespace kestrune::ui
