#include <QAction>
#include <QMenuBar>
#include <QTest>
#include <QTreeView>

#include "main_window_fixture.h"

using kestrune::TreeNode;
using kestrune::test::MainWindow;
using kestrune::test::readBytes;

// The tree's changes taken back and made again from the Edit menu and its keys, and the keys
// and clicks that reach the commands from the tree.
class TestUnit1History : public QObject {
    Q_OBJECT

  private:
    QString folder() const { return scratch_->path() + QStringLiteral("/"); }
    QByteArray savedTree() const { return readBytes(folder() + QStringLiteral("kestrune.dll")); }
    QByteArray savedSettings() const { return readBytes(folder() + QStringLiteral("Setting.cfg")); }
    static QAction* item(TForm1& form, const char* name) {
        return form.findChild<QAction*>(QString::fromLatin1(name));
    }
    static QTreeView* view(TForm1& form) {
        return form.findChild<QTreeView*>(QStringLiteral("TreeView1"));
    }

    std::unique_ptr<QTemporaryDir> scratch_;

  private slots:
    void init() { scratch_ = std::make_unique<QTemporaryDir>(); }
    void cleanup() { scratch_.reset(); }

    void undoAndRedoOfAGroupDeleteRestoreNodesAndRecordsByteForByte() {
        kestrune::test::writeBytes(folder() + QStringLiteral("kestrune.dll"),
                                   "All Tasks\r\n\tDownloads Cleanup\r\n\t\tOld ISOs\r\nKeep\r\n");
        const QByteArray settings =
            "[Settings]\r\nfrmx=40\r\nfrmy=50\r\n\r\n[Downloads Cleanup]\r\nactions=3\r\n"
            "filters= *.iso \r\n\r\n[Old ISOs]\r\nsublevel=0x1\r\n[Keep]\r\nactions=1\r\n";
        kestrune::test::writeBytes(folder() + QStringLiteral("Setting.cfg"), settings);
        MainWindow window(folder());
        TForm1& form = *window.form;
        form.show();
        QAction* undo = item(form, "Undo1");
        QAction* redo = item(form, "Redo1");
        QCOMPARE(undo->shortcut(), QKeySequence(QStringLiteral("Ctrl+Z")));
        QCOMPARE(redo->shortcut(), QKeySequence(QStringLiteral("Ctrl+Shift+Z")));
        QVERIFY(!undo->isEnabled() && !redo->isEnabled());

        const QByteArray tree = savedTree();
        form.selectNode(window.node("Downloads Cleanup"));
        form.DeleteSelected();
        QCOMPARE(savedTree(), QByteArray("All Tasks\r\nKeep\r\n"));
        QVERIFY(!form.settings().sectionExists("Old ISOs"));
        QCOMPARE(undo->text(), QStringLiteral("&Undo Delete \"Downloads Cleanup\""));

        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        view(form)->setFocus();
        QTest::keyClick(view(form), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(savedTree(), tree);
        QCOMPARE(savedSettings(), settings);
        QCOMPARE(form.selectedNode(), window.node("Downloads Cleanup"));
        QCOMPARE(redo->text(), QStringLiteral("&Redo Delete \"Downloads Cleanup\""));
        QVERIFY(!undo->isEnabled());

        QTest::keyClick(view(form), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(savedTree(), QByteArray("All Tasks\r\nKeep\r\n"));
        undo->trigger();
        QCOMPARE(savedSettings(), settings);
        QCOMPARE(form.statusText(), QStringLiteral(" You Have 2 Tasks"));
        QVERIFY(window.errors.isEmpty());
    }

    // The Edit menu stands between File and Task; each kind of change names itself there.
    void everyTreeChangeIsUndoable() {
        MainWindow window(folder());
        TForm1& form = *window.form;
        form.show();
        QAction* undo = item(form, "Undo1");
        form.selectNode(window.node("Desktop Tidy"));
        form.AddSubtask();
        QCOMPARE(undo->text(), QStringLiteral("&Undo Add \"New Task 2\""));
        form.renameInPlace(window.node("New Task 2"), "R&D");
        QCOMPARE(undo->text(), QStringLiteral("&Undo Rename \"New Task 2\""));
        form.selectNode(window.node("R&D"));
        form.AddTask();  // "New Task 3", with no children to drop before
        form.selectNode(window.node("R&D"));
        form.dropOn(window.node("New Task 3"));
        QCOMPARE(undo->text(), QStringLiteral("&Undo Move \"R&&D\""));
        for (int step = 0; step < 4; ++step) undo->trigger();
        QCOMPARE(savedTree(), QByteArray("All Tasks\r\n\tDesktop Tidy\r\n"));
        QCOMPARE(item(form, "Redo1")->text(), QStringLiteral("&Redo Add \"New Task 2\""));
    }

    void keysAndDoubleClicksReachTheCommands() {
        MainWindow window(folder());
        TForm1& form = *window.form;
        form.show();
        QTreeView* tree = view(form);
        form.selectNode(window.node("Desktop Tidy"));
        {
            kestrune::test::ModalCloser closer;
            QTest::keyClick(tree, Qt::Key_Return);
            QCOMPARE(closer.title(), QStringLiteral("Task Editor"));
        }
        {
            kestrune::test::ModalCloser closer;
            const QModelIndex tidy = tree->model()->index(0, 0, tree->model()->index(0, 0));
            const QPoint at = tree->visualRect(tidy).center();
            QTest::mouseDClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier, at);
            QCOMPARE(closer.title(), QStringLiteral("Task Editor"));
        }
        form.selectNode(window.node("Desktop Tidy"));
        QTest::keyClick(tree, Qt::Key_Delete);
        QVERIFY(window.node("Desktop Tidy") == nullptr);
        QCOMPARE(item(form, "Undo1")->text(), QStringLiteral("&Undo Delete \"Desktop Tidy\""));
    }
};

QTEST_MAIN(TestUnit1History)
#include "test_unit1_history.moc"
