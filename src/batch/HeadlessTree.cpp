#include "batch/HeadlessTree.h"

namespace trawl {

TreeItem HeadlessTree::InsertSorted(TreeItem parent, const std::string&)
{
    m_nodes.push_back(Node{parent, false});
    return m_nodes.size();
}

bool HeadlessTree::IsChecked(TreeItem item) const
{
    return item != kNoTreeItem && item <= m_nodes.size() && m_nodes[item - 1].checked;
}

void HeadlessTree::SetChecked(TreeItem item, bool checked)
{
    if (item != kNoTreeItem && item <= m_nodes.size()) {
        m_nodes[item - 1].checked = checked;
    }
}

TreeItem HeadlessTree::Parent(TreeItem item) const
{
    return item != kNoTreeItem && item <= m_nodes.size() ? m_nodes[item - 1].parent : kNoTreeItem;
}

} // namespace trawl
