#pragma once

#include <QObject>
#include <QSize>
#include <array>

class QWidget;

namespace kestrune {
class SettingsEdit;
class SettingsSnapshot;
}  // namespace kestrune

namespace kestrune::ui {

// The sizes the user gave the task editor and the windows of runs: read from the settings
// file at the start, kept while the program runs, written back with the window position.
class WindowSizes : public QObject {
    Q_OBJECT

  public:
    enum class Window { Editor, Preview, Report, History };

    WindowSizes(const SettingsSnapshot& settings, QObject* parent = nullptr);

    // Gives the window its remembered size, within its screen, and remembers every size the
    // user gives it while it is shown.
    void keep(QWidget& window, Window which);
    // The sizes that differ from those read at the start.
    void addTo(SettingsEdit& edit) const;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    static constexpr std::size_t kWindows = 4;
    std::array<QSize, kWindows> read_{};
    std::array<QSize, kWindows> now_{};
};

}  // namespace kestrune::ui
