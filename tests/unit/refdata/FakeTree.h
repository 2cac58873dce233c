#pragma once

#include "refdata/SelectionTree.h"

#include <string>
#include <vector>

namespace trawl::test {

// An in-memory check-box tree: children kept in byte order of their labels (equal labels in
// insertion order), with a log of expansions and redraw suspensions.
class FakeTree : public SelectionTree {
public:
    TreeItem InsertSorted(TreeItem parent, const std::string& label) override;
    bool IsChecked(TreeItem item) const override;
    void SetChecked(TreeItem item, bool checked) override;
    TreeItem Parent(TreeItem item) const override;
    void Expand(TreeItem item) override;
    void SuspendRedraw() override;
    void ResumeRedraw() override;

    // The item reached by following labels from the top level, e.g. {"Europe", "France", "Paris"};
    // kNoTreeItem when there is none.
    TreeItem Find(const std::vector<std::string>& path) const;
    std::vector<std::string> ChildLabels(TreeItem parent) const;
    const std::string& Label(TreeItem item) const;
    // Labels of every checked item, depth first in display order.
    std::vector<std::string> CheckedLabels() const;
    // What a click on the check box does: the mark flips and nothing else happens.
    void Click(const std::vector<std::string>& path);

    bool WasExpanded(TreeItem item) const;
    const std::vector<TreeItem>& Expansions() const { return m_expansions; }
    void ForgetExpansions() { m_expansions.clear(); }
    int SuspendCount() const { return m_suspends; }
    int ResumeCount() const { return m_resumes; }
    bool RedrawSuspended() const { return m_suspends > m_resumes; }
    int UnbalancedResumes() const { return m_unbalancedResumes; }
    std::size_t ItemCount() const { return m_nodes.size(); }
    // Every SetChecked made while redrawing was suspended or not, counted.
    int ChecksWhileSuspended() const { return m_checksSuspended; }
    int ChecksWhileDrawing() const { return m_checksDrawing; }

private:
    struct Node {
        std::string label;
        TreeItem parent = kNoTreeItem;
        bool checked = false;
        std::vector<TreeItem> children;
    };
    const Node& At(TreeItem item) const;
    Node& At(TreeItem item);
    void CollectChecked(const std::vector<TreeItem>& items, std::vector<std::string>& out) const;

    std::vector<Node> m_nodes; // item n is m_nodes[n - 1]
    std::vector<TreeItem> m_topLevel;
    std::vector<TreeItem> m_expansions;
    int m_suspends = 0;
    int m_resumes = 0;
    int m_unbalancedResumes = 0;
    int m_checksSuspended = 0;
    int m_checksDrawing = 0;
};

} // namespace trawl::test
