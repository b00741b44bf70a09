#include <QLineEdit>
#include <QMimeData>
#include <QTest>
#include <QTreeView>

#include "main_window_fixture.h"
#include "store/settings_file.h"
#include "ui/error_box.h"

using kestrune::TreeNode;
using kestrune::test::MainWindow;

// The tree's own commands: drops, in-place renames and deletions, each saved at once.
class TestUnit1Tree : public QObject {
    Q_OBJECT

  private:
    QString folder() const { return scratch_->path() + QStringLiteral("/"); }
    QString treeFile() const { return folder() + QStringLiteral("kestrune.dll"); }
    QByteArray savedTree() const { return kestrune::test::readBytes(treeFile()); }

    std::unique_ptr<QTemporaryDir> scratch_;

  private slots:
    void init() { scratch_ = std::make_unique<QTemporaryDir>(); }
    void cleanup() { scratch_.reset(); }

    void dropRules() {
        MainWindow window(folder());
        TForm1& form = *window.form;
        form.selectNode(window.node("All Tasks"));
        form.AddTask();  // root "New Task 2"
        TreeNode* all = window.node("All Tasks");
        TreeNode* tidy = window.node("Desktop Tidy");
        TreeNode* other = window.node("New Task 2");
        form.selectNode(all);
        QVERIFY(!form.acceptDropOn(true, all));
        QVERIFY(!form.acceptDropOn(true, tidy));
        QVERIFY(!form.acceptDropOn(true, nullptr));
        QVERIFY(!form.acceptDropOn(false, other));
        QVERIFY(form.acceptDropOn(true, other));
        form.selectNode(tidy);
        QVERIFY(form.acceptDropOn(true, all));
        QVERIFY(form.acceptDropOn(true, other));
    }

    void aDragFromOutsideTheTreeIsRefused() {
        MainWindow window(folder());
        window.form->show();
        auto* view = window.form->findChild<QTreeView*>(QStringLiteral("TreeView1"));
        window.form->selectNode(window.node("Desktop Tidy"));
        const QPoint onRoot = view->visualRect(view->model()->index(0, 0)).center();
        QMimeData mime;
        mime.setText(QStringLiteral("a file"));
        QDragMoveEvent move(onRoot, Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(view->viewport(), &move);
        QVERIFY(!move.isAccepted());
        QDropEvent drop(QPointF(onRoot), Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(view->viewport(), &drop);
        QCOMPARE(window.node("Desktop Tidy")->parent, window.node("All Tasks"));
    }

    // A root dropped on another root becomes a task: the count and the file follow at once.
    void aDropMovesTheNodeFirstUnderTheTargetAndIsSaved() {
        MainWindow window(folder());
        TForm1& form = *window.form;
        form.show();
        form.AddTask();  // root "New Task 2"
        form.selectNode(window.node("Desktop Tidy"));
        form.AddTask();  // "New Task 3" after "Desktop Tidy"
        TreeNode* moving = window.node("New Task 2");
        form.selectNode(moving);
        form.dropOn(window.node("All Tasks"));
        QCOMPARE(form.statusText(), QStringLiteral(" You Have 3 Tasks"));
        QCOMPARE(savedTree(),
                 QByteArray("All Tasks\r\n\tNew Task 2\r\n\tDesktop Tidy\r\n\tNew Task 3\r\n"));
        QCOMPARE(form.selectedNode(), window.node("All Tasks"));
        auto* view = form.findChild<QTreeView*>(QStringLiteral("TreeView1"));
        QVERIFY(view->isExpanded(view->model()->index(0, 0)));
        // Dropping on its own parent makes the node the first child.
        form.selectNode(window.node("New Task 3"));
        form.dropOn(window.node("All Tasks"));
        QCOMPARE(window.node("All Tasks")->children.front()->text, std::string("New Task 3"));
        QVERIFY(window.errors.isEmpty());
    }

    void renameInPlaceWithoutARecordRenamesTheNodeOnly() {
        MainWindow window(folder());
        TForm1& form = *window.form;
        form.show();
        auto* view = form.findChild<QTreeView*>(QStringLiteral("TreeView1"));
        const QModelIndex tidy = view->model()->index(0, 0, view->model()->index(0, 0));
        QVERIFY(!view->model()->setData(tidy, QStringLiteral("Photos"), Qt::EditRole));
        QCOMPARE(tidy.data().toString(), QStringLiteral("Photos"));
        QCOMPARE(savedTree(), QByteArray("All Tasks\r\n\tPhotos\r\n"));
        QVERIFY(!QFile::exists(folder() + QStringLiteral("Setting.cfg")));
        QCOMPARE(form.statusText(), QStringLiteral(" You Have 1 Task"));
    }

    void renameInPlaceCarriesTheRecordAlong() {
        MainWindow window(folder());
        kestrune::SettingsFile& settings = window.form->settings();
        settings.writeString("Desktop Tidy", "s_folder", "/home/me/Desktop");
        settings.writeString("Desktop Tidy", "sublevel", "0x2");
        settings.writeString("Desktop Tidy", "filters", "*.tmp;*.bak");
        window.form->renameInPlace(window.node("Desktop Tidy"), "Tidy Desktop");
        QVERIFY(window.errors.isEmpty());
        QVERIFY(window.node("Tidy Desktop") != nullptr);
        QCOMPARE(settings.readString("Tidy Desktop", "s_folder", ""), "/home/me/Desktop");
        QCOMPARE(settings.readString("Tidy Desktop", "sublevel", ""), "0x2");
        QCOMPARE(settings.readString("Tidy Desktop", "filters", ""), "*.tmp;*.bak");
        QCOMPARE(settings.readString("Tidy Desktop", "actions", "absent"), "absent");
        // The old record stays, as after a rename in the editor.
        QCOMPARE(settings.readString("Desktop Tidy", "s_folder", ""), "/home/me/Desktop");
    }

    // Another node's name is refused too: the rename would write this task over that one.
    void aRefusedNameLeavesTheNodeAndSaysWhy() {
        MainWindow window(folder());
        TForm1& form = *window.form;
        form.settings().writeString("Desktop Tidy", "filters", "*.*");
        form.settings().writeString("Downloads", "filters", "*.pdf");
        form.tree().renameInPlace(form.settings(), form.tree().AddTask(form.settings()),
                                  "Downloads");
        const QByteArray records = kestrune::test::readBytes(folder() + "Setting.cfg");
        for (const char* name : {"", " Leading", "Two\tParts", "Settings", "downloads"}) {
            window.errors.clear();
            form.renameInPlace(window.node("Desktop Tidy"), name);
            QCOMPARE(window.errors.size(), 1);
            QVERIFY(window.node("Desktop Tidy") != nullptr);
        }
        QVERIFY(window.errors[0].contains(QStringLiteral("Another task is named \"downloads\"")));
        QCOMPARE(kestrune::test::readBytes(folder() + "Setting.cfg"), records);
        QVERIFY(!QFile::exists(treeFile()));
    }

    // F2 opens the name for typing; the Enter that ends it renames and opens nothing else.
    // A refused name is told in one box, and the node keeps its name.
    void f2ThenEnterRenamesAndOpensNothing() {
        MainWindow window(folder());
        TForm1& form = *window.form;
        form.settings().writeString("Downloads", "filters", "*.pdf");
        form.tree().renameInPlace(form.settings(), form.tree().AddTask(form.settings()),
                                  "Downloads");
        form.setErrorReporter([&window](const QString& message) {
            window.errors << message;
            kestrune::ui::showErrorBox(window.form.get(), message);
        });
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        auto* view = form.findChild<QTreeView*>(QStringLiteral("TreeView1"));
        const auto typeName = [&](TreeNode* node, const QString& text) {
            form.activateWindow();  // back from a box; no window manager does it here
            QVERIFY(QTest::qWaitForWindowActive(&form));
            form.selectNode(node);
            view->setFocus();
            QTest::keyClick(view, Qt::Key_F2);
            auto* box = qobject_cast<QLineEdit*>(view->indexWidget(view->currentIndex()));
            QVERIFY(box != nullptr);
            box->selectAll();
            QTest::keyClicks(box, text);
            QTest::keyClick(box, Qt::Key_Return);
            QTRY_VERIFY(view->indexWidget(view->currentIndex()) == nullptr);  // edit ended
        };
        {
            kestrune::test::ModalCounter boxes;
            typeName(window.node("Desktop Tidy"), QStringLiteral("downloads"));
            QTRY_COMPARE(window.errors.size(), 1);
            QCOMPARE(boxes.titles, QStringList{QStringLiteral("Kestrune")});
        }
        QVERIFY(window.node("Desktop Tidy") != nullptr);
        {
            kestrune::test::ModalCounter boxes;
            typeName(window.node("Desktop Tidy"), QStringLiteral("Photos"));
            QTRY_VERIFY(window.node("Photos") != nullptr);
            QVERIFY(boxes.titles.isEmpty());
        }
        QCOMPARE(window.errors.size(), 1);
        QCOMPARE(savedTree(), QByteArray("All Tasks\r\n\tPhotos\r\nDownloads\r\n"));
    }

    // New Task and New Subtask select the new node and open its name for typing.
    void aNewNodeIsSelectedWithItsNameOpenForTyping() {
        MainWindow window(folder());
        TForm1& form = *window.form;
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        auto* view = form.findChild<QTreeView*>(QStringLiteral("TreeView1"));
        for (const bool subtask : {false, true}) {
            form.selectNode(window.node("Desktop Tidy"));
            if (subtask) {
                form.AddSubtask();
            } else {
                form.AddTask();
            }
            TreeNode* added = form.selectedNode();
            QVERIFY(added != nullptr && added->text.rfind("New Task ", 0) == 0);
            QCOMPARE(added->parent, window.node(subtask ? "Desktop Tidy" : "All Tasks"));
            auto* box = qobject_cast<QLineEdit*>(view->indexWidget(view->currentIndex()));
            QVERIFY(box != nullptr && box->hasFocus());
            QCOMPARE(box->selectedText(), QString::fromStdString(added->text));
            const char* name = subtask ? "Inbox" : "Outbox";
            QTest::keyClicks(box, QString::fromLatin1(name));
            QTest::keyClick(box, Qt::Key_Return);
            QTRY_VERIFY(window.node(name) != nullptr);
            QCOMPARE(form.selectedNode(), window.node(name));
        }
        QCOMPARE(savedTree(),
                 QByteArray("All Tasks\r\n\tDesktop Tidy\r\n\t\tInbox\r\n\tOutbox\r\n"));
        QVERIFY(window.errors.isEmpty());
    }

    void deleteTakesTheSubtreeAndIsSaved() {
        MainWindow window(folder());
        TForm1& form = *window.form;
        form.show();
        form.settings().writeString("Desktop Tidy", "s_folder", "/somewhere");
        form.selectNode(window.node("Desktop Tidy"));
        form.AddSubtask();
        form.selectNode(window.node("Desktop Tidy"));
        form.DeleteSelected();
        QCOMPARE(form.tree().allNodes().size(), std::size_t{1});
        QVERIFY(!form.settings().sectionExists("Desktop Tidy"));
        QCOMPARE(savedTree(), QByteArray("All Tasks\r\n"));
        QCOMPARE(form.statusText(), QStringLiteral(" You Have 0 Task"));
        QVERIFY(form.selectedNode() == nullptr && form.tree().selected() == nullptr);
    }

    void selectingANodeClosesTheBranchSelectedBefore() {
        MainWindow window(folder());
        TForm1& form = *window.form;
        form.show();
        form.AddTask();  // root "New Task 2"
        form.selectNode(window.node("New Task 2"));
        form.AddSubtask();
        auto* view = form.findChild<QTreeView*>(QStringLiteral("TreeView1"));
        const QModelIndex all = view->model()->index(0, 0);
        const QModelIndex second = view->model()->index(1, 0);
        form.selectNode(window.node("Desktop Tidy"));
        QVERIFY(view->isExpanded(all));
        form.selectNode(window.node("New Task 2"));
        QVERIFY(view->isExpanded(second));
        QVERIFY(!view->isExpanded(all));
    }
};

QTEST_MAIN(TestUnit1Tree)
#include "test_unit1_tree.moc"
