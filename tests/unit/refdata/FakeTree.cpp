#include "FakeTree.h"

#include <algorithm>
#include <stdexcept>

namespace trawl::test {

const FakeTree::Node& FakeTree::At(TreeItem item) const
{
    if (item == kNoTreeItem || item > m_nodes.size()) {
        throw std::out_of_range("no such tree item");
    }
    return m_nodes[item - 1];
}

FakeTree::Node& FakeTree::At(TreeItem item)
{
    return const_cast<Node&>(static_cast<const FakeTree*>(this)->At(item));
}

TreeItem FakeTree::InsertSorted(TreeItem parent, const std::string& label)
{
    m_nodes.push_back(Node{label, parent, false, {}});
    const TreeItem item = m_nodes.size();
    auto& siblings = parent == kNoTreeItem ? m_topLevel : At(parent).children;
    const auto place =
        std::upper_bound(siblings.begin(), siblings.end(), label,
                         [this](const std::string& text, TreeItem other) { return text < At(other).label; });
    siblings.insert(place, item);
    return item;
}

bool FakeTree::IsChecked(TreeItem item) const
{
    return At(item).checked;
}

void FakeTree::SetChecked(TreeItem item, bool checked)
{
    At(item).checked = checked;
    (RedrawSuspended() ? m_checksSuspended : m_checksDrawing)++;
}

TreeItem FakeTree::Parent(TreeItem item) const
{
    return At(item).parent;
}

void FakeTree::Expand(TreeItem item)
{
    At(item); // must exist
    m_expansions.push_back(item);
}

void FakeTree::SuspendRedraw()
{
    ++m_suspends;
}

void FakeTree::ResumeRedraw()
{
    if (m_resumes >= m_suspends) {
        ++m_unbalancedResumes;
        return;
    }
    ++m_resumes;
}

TreeItem FakeTree::Find(const std::vector<std::string>& path) const
{
    TreeItem current = kNoTreeItem;
    for (const std::string& label : path) {
        const auto& children = current == kNoTreeItem ? m_topLevel : At(current).children;
        const auto found =
            std::find_if(children.begin(), children.end(), [&](TreeItem child) { return At(child).label == label; });
        if (found == children.end()) {
            return kNoTreeItem;
        }
        current = *found;
    }
    return current;
}

std::vector<std::string> FakeTree::ChildLabels(TreeItem parent) const
{
    std::vector<std::string> labels;
    for (TreeItem child : parent == kNoTreeItem ? m_topLevel : At(parent).children) {
        labels.push_back(At(child).label);
    }
    return labels;
}

const std::string& FakeTree::Label(TreeItem item) const
{
    return At(item).label;
}

void FakeTree::CollectChecked(const std::vector<TreeItem>& items, std::vector<std::string>& out) const
{
    for (TreeItem item : items) {
        if (At(item).checked) {
            out.push_back(At(item).label);
        }
        CollectChecked(At(item).children, out);
    }
}

std::vector<std::string> FakeTree::CheckedLabels() const
{
    std::vector<std::string> out;
    CollectChecked(m_topLevel, out);
    return out;
}

void FakeTree::Click(const std::vector<std::string>& path)
{
    const TreeItem item = Find(path);
    if (item == kNoTreeItem) {
        throw std::out_of_range("no item at the clicked path");
    }
    At(item).checked = !At(item).checked;
}

bool FakeTree::WasExpanded(TreeItem item) const
{
    return std::find(m_expansions.begin(), m_expansions.end(), item) != m_expansions.end();
}

} // namespace trawl::test
