#pragma once

#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <string>

#include "store/settings_file.h"
#include "store/task_tree.h"
#include "ui/Unit2.h"

// A task editor on the default tree ("All Tasks" > "Desktop Tidy") over a settings file of its
// own in a fresh folder.
struct EditorFixture {
    QTemporaryDir folder;
    std::string path = folder.filePath(QStringLiteral("Setting.cfg")).toStdString();
    kestrune::SettingsFile settings{path};
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

// Answers the next message box that opens with OK and hands its text to *seen.
inline void answerMessageBox(QString* seen) {
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, seen] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            *seen = box->text();
            box->accept();
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start();
}
