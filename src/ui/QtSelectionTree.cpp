#include "ui/QtSelectionTree.h"

#include "ui/QtText.h"

#include <QTreeWidget>

namespace trawl::ui {

namespace {

// Sibling order: letters compared without regard to case, then exactly, so the order is total.
bool LabelBefore(const QString& a, const QString& b)
{
    const int folded = QString::compare(a, b, Qt::CaseInsensitive);
    return folded != 0 ? folded < 0 : QString::compare(a, b, Qt::CaseSensitive) < 0;
}

} // namespace

QtSelectionTree::QtSelectionTree(QTreeWidget& tree, QObject* parent) : QObject(parent), m_tree(tree)
{
    connect(&m_tree, &QTreeWidget::itemChanged, this, &QtSelectionTree::ItemChanged);
}

TreeItem QtSelectionTree::InsertSorted(TreeItem parent, const std::string& label)
{
    const QString text = ToQString(label);
    QTreeWidgetItem* parentItem = parent == kNoTreeItem ? m_tree.invisibleRootItem() : ItemOf(parent);
    // Binary search for the first sibling that sorts after the new label.
    int low = 0;
    int high = parentItem->childCount();
    while (low < high) {
        const int middle = (low + high) / 2;
        if (LabelBefore(text, parentItem->child(middle)->text(0))) {
            high = middle;
        } else {
            low = middle + 1;
        }
    }
    ++m_programChanges;
    auto* item = new QTreeWidgetItem(QStringList{text});
    item->setFlags((item->flags() | Qt::ItemIsUserCheckable) & ~Qt::ItemIsAutoTristate);
    item->setCheckState(0, Qt::Unchecked);
    parentItem->insertChild(low, item);
    --m_programChanges;
    return HandleOf(item);
}

bool QtSelectionTree::IsChecked(TreeItem item) const
{
    return item != kNoTreeItem && ItemOf(item)->checkState(0) == Qt::Checked;
}

void QtSelectionTree::SetChecked(TreeItem item, bool checked)
{
    if (item == kNoTreeItem) {
        return;
    }
    ++m_programChanges;
    ItemOf(item)->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
    --m_programChanges;
}

TreeItem QtSelectionTree::Parent(TreeItem item) const
{
    if (item == kNoTreeItem) {
        return kNoTreeItem;
    }
    return HandleOf(ItemOf(item)->parent()); // null (kNoTreeItem) at the top level
}

void QtSelectionTree::Expand(TreeItem item)
{
    if (item != kNoTreeItem) {
        ItemOf(item)->setExpanded(true);
    }
}

void QtSelectionTree::SuspendRedraw()
{
    if (m_suspended++ == 0) {
        m_tree.setUpdatesEnabled(false);
    }
}

void QtSelectionTree::ResumeRedraw()
{
    if (m_suspended > 0 && --m_suspended == 0) {
        m_tree.setUpdatesEnabled(true);
    }
}

void QtSelectionTree::ItemChanged(QTreeWidgetItem*, int column)
{
    // Only the user's check changes: the program's own, and the scan's changes made in answer to one,
    // are not a new change.
    if (column != 0 || m_programChanges > 0 || !m_onUserChange) {
        return;
    }
    m_onUserChange();
}

} // namespace trawl::ui
