#pragma once

#include "refdata/SelectionTree.h"

#include <QObject>
#include <functional>

class QTreeWidget;
class QTreeWidgetItem;

namespace trawl::ui {

// A check-box tree widget seen through the selection logic's tree interface. Check marks set by
// the program do not come back as user changes: only a change the user makes calls `onUserChange`
// (the selection model's scan of this tree). Parents never take a mixed state of their own.
class QtSelectionTree final : public QObject, public SelectionTree {
    Q_OBJECT

public:
    explicit QtSelectionTree(QTreeWidget& tree, QObject* parent = nullptr);

    TreeItem InsertSorted(TreeItem parent, const std::string& label) override;
    bool IsChecked(TreeItem item) const override;
    void SetChecked(TreeItem item, bool checked) override;
    TreeItem Parent(TreeItem item) const override;
    void Expand(TreeItem item) override;
    void SuspendRedraw() override;
    void ResumeRedraw() override;

    void SetUserChangeHandler(std::function<void()> handler) { m_onUserChange = std::move(handler); }
    QTreeWidget& widget() { return m_tree; }

    static QTreeWidgetItem* ItemOf(TreeItem item) { return reinterpret_cast<QTreeWidgetItem*>(item); }
    static TreeItem HandleOf(QTreeWidgetItem* item) { return reinterpret_cast<TreeItem>(item); }

private:
    void ItemChanged(QTreeWidgetItem* item, int column);

    QTreeWidget& m_tree;
    int m_programChanges = 0; // > 0 while the program itself sets check marks
    int m_suspended = 0;
    std::function<void()> m_onUserChange;
};

} // namespace trawl::ui
