#pragma once

#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <string>

#include "platform/file_io.h"
#include "store/settings_file.h"
#include "store/task_tree.h"
#include "ui/Unit2.h"

// The real disk, which refuses the next `failures` new files.
struct FailingDisk : kestrune::FileIo {
    mutable int failures = 0;
    kestrune::FileContent read(const std::string& path) const override {
        return kestrune::systemFileIo().read(path);
    }
    std::string replace(const std::string& path, std::string_view content) const override {
        if (failures > 0) {
            --failures;
            return "No space left on device";
        }
        return kestrune::systemFileIo().replace(path, content);
    }
};

// A task editor on the default tree ("All Tasks" > "Desktop Tidy") over a settings file of its
// own in a fresh folder.
struct EditorFixture {
    QTemporaryDir folder;
    std::string path = folder.filePath(QStringLiteral("Setting.cfg")).toStdString();
    FailingDisk disk;
    kestrune::SettingsFile settings{path, disk};
    kestrune::TaskTree tree;
    TForm2 editor{settings};

    kestrune::TreeNode* task() { return tree.roots().front()->children.front().get(); }

    template <class Control>
    Control* control(const char* name) {
        auto* found = editor.findChild<Control*>(QLatin1String(name));
        if (found == nullptr) qFatal("no control %s", name);
        return found;
    }

    void open(kestrune::TreeNode* node) { editor.openTask(tree, node); }
    void open() { open(task()); }
    void clickOk() { QTest::mouseClick(control<QAbstractButton>("Button1"), Qt::LeftButton); }

    std::string read(const char* key, const std::string& section = "Desktop Tidy") {
        return settings.readString(section, key, "<absent>");
    }

    QByteArray fileContent() const {
        QFile file(QString::fromStdString(path));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
};

// Answers the next message boxes that open with these buttons in turn (NoButton: Escape) and
// hands their texts to *seen.
inline void answerMessageBoxes(QList<QMessageBox::StandardButton> answers, QStringList* seen) {
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, answers, seen]() mutable {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr || !box->isVisible()) return;
        *seen << box->text();
        const QMessageBox::StandardButton answer = answers.takeFirst();
        if (answer == QMessageBox::NoButton) {
            QTest::keyClick(box, Qt::Key_Escape);
        } else {
            box->button(answer)->click();
        }
        if (answers.isEmpty()) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start();
}
