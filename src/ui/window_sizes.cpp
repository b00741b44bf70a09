#include "ui/window_sizes.h"

#include <QEvent>
#include <QScreen>
#include <QWidget>
#include <string_view>

#include "store/settings_file.h"
#include "store/task_record.h"

namespace kestrune::ui {

namespace {

struct SizeKeys {
    std::string_view width;
    std::string_view height;
};

constexpr std::array<SizeKeys, 4> kKeys{{
    {keys::kEditorWidth, keys::kEditorHeight},
    {keys::kPreviewWidth, keys::kPreviewHeight},
    {keys::kReportWidth, keys::kReportHeight},
    {keys::kHistoryWidth, keys::kHistoryHeight},
}};

constexpr const char* kWindowProperty = "kestruneKeptSize";

std::size_t slot(WindowSizes::Window which) {
    return static_cast<std::size_t>(which);
}

}  // namespace

WindowSizes::WindowSizes(const SettingsSnapshot& settings, QObject* parent) : QObject(parent) {
    for (std::size_t i = 0; i < kWindows; ++i) {
        const QSize size(settings.readInteger(keys::kSettingsSection, kKeys[i].width, 0),
                         settings.readInteger(keys::kSettingsSection, kKeys[i].height, 0));
        read_[i] = size.isValid() && !size.isEmpty() ? size : QSize();
        now_[i] = read_[i];
    }
}

// A size from a larger screen than this one is cut to this one's usable area.
void WindowSizes::keep(QWidget& window, Window which) {
    window.setProperty(kWindowProperty, static_cast<int>(slot(which)));
    window.installEventFilter(this);
    QSize size = now_[slot(which)];
    if (!size.isValid()) return;
    if (const QScreen* screen = window.screen()) {
        size = size.boundedTo(screen->availableSize());
    }
    window.resize(size);
}

void WindowSizes::addTo(SettingsEdit& edit) const {
    for (std::size_t i = 0; i < kWindows; ++i) {
        if (!now_[i].isValid() || now_[i] == read_[i]) continue;
        edit.writeInteger(keys::kSettingsSection, kKeys[i].width, now_[i].width())
            .writeInteger(keys::kSettingsSection, kKeys[i].height, now_[i].height());
    }
}

// Only a shown window's size is the user's choice: before that it is the program's own.
bool WindowSizes::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Resize) {
        auto* window = static_cast<QWidget*>(watched);
        if (window->isVisible()) {
            now_[static_cast<std::size_t>(window->property(kWindowProperty).toInt())] =
                window->size();
        }
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace kestrune::ui
