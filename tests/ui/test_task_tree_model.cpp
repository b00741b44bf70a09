#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "store/settings_file.h"
#include "store/task_tree.h"
#include "ui/task_tree_model.h"

using kestrune::TaskTree;
using kestrune::TreeNode;
using kestrune::ui::TaskTreeModel;

class TestTaskTreeModel : public QObject {
    Q_OBJECT

  private slots:
    void showsTheCoreTree() {
        TaskTree tree;
        TaskTreeModel model(tree);
        QAbstractItemModelTester tester(&model);
        QCOMPARE(model.rowCount(), 1);
        const QModelIndex all = model.index(0, 0);
        QCOMPARE(all.data().toString(), QStringLiteral("All Tasks"));
        QCOMPARE(model.rowCount(all), 1);
        const QModelIndex tidy = model.index(0, 0, all);
        QCOMPARE(tidy.data(Qt::EditRole).toString(), QStringLiteral("Desktop Tidy"));
        QCOMPARE(model.parent(tidy), all);
        QCOMPARE(model.indexOf(model.nodeAt(tidy)), tidy);
        QVERIFY(model.flags(tidy).testFlag(Qt::ItemIsEditable));
        QVERIFY(model.flags(tidy).testFlag(Qt::ItemIsDragEnabled));
    }

    // Every change the tree makes reaches the view through the model's own signals.
    void followsEveryChangeOfTheTree() {
        TaskTree tree;
        TaskTreeModel model(tree);
        QAbstractItemModelTester tester(&model);
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        QSignalSpy moved(&model, &QAbstractItemModel::rowsMoved);
        QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
        QTemporaryDir scratch;
        kestrune::SettingsFile settings(
            (scratch.path() + QStringLiteral("/Setting.cfg")).toStdString());

        TreeNode* added = tree.AddTask(settings);
        QCOMPARE(inserted.size(), 1);
        QCOMPARE(model.rowCount(), 2);
        tree.select(added);
        tree.DropOnNode(tree.roots().front().get());
        QCOMPARE(moved.size(), 1);
        QCOMPARE(model.rowCount(), 1);
        QCOMPARE(model.rowCount(model.index(0, 0)), 2);
        tree.rename(added, "Renamed");
        QCOMPARE(changed.size(), 1);
        QCOMPARE(model.index(0, 0, model.index(0, 0)).data().toString(), QStringLiteral("Renamed"));
        tree.select(added);
        tree.DeleteSelected(settings);
        QCOMPARE(removed.size(), 1);
        QCOMPARE(model.rowCount(model.index(0, 0)), 1);
        tree.SaveTree((scratch.path() + QStringLiteral("/kestrune.dll")).toStdString());
        tree.LoadTree((scratch.path() + QStringLiteral("/kestrune.dll")).toStdString());
        QCOMPARE(reset.size(), 1);
        QCOMPARE(model.rowCount(), 1);
    }

    void editsGoToTheRenameHandlerNotToTheTree() {
        TaskTree tree;
        TaskTreeModel model(tree);
        TreeNode* seen = nullptr;
        std::string text;
        model.setRenameHandler([&](TreeNode* node, const std::string& typed) {
            seen = node;
            text = typed;
        });
        const QModelIndex all = model.index(0, 0);
        QVERIFY(!model.setData(all, QStringLiteral("Groups"), Qt::EditRole));
        QCOMPARE(seen, model.nodeAt(all));
        QCOMPARE(text, std::string("Groups"));
        QCOMPARE(all.data().toString(), QStringLiteral("All Tasks"));
    }

    void detachingEmptiesTheModel() {
        auto tree = std::make_unique<TaskTree>();
        TaskTreeModel model(*tree);
        model.detach();
        tree.reset();
        QCOMPARE(model.rowCount(), 0);
    }
};

QTEST_MAIN(TestTaskTreeModel)
#include "test_task_tree_model.moc"
