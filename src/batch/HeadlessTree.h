#pragma once

#include "refdata/SelectionTree.h"

#include <vector>

namespace trawl {

// A check-box tree without a window: the selection model keeps its check marks here when no tree
// is shown. Sibling order is not kept, since nothing is displayed.
class HeadlessTree final : public SelectionTree {
public:
    TreeItem InsertSorted(TreeItem parent, const std::string& label) override;
    bool IsChecked(TreeItem item) const override;
    void SetChecked(TreeItem item, bool checked) override;
    TreeItem Parent(TreeItem item) const override;
    void Expand(TreeItem) override {}
    void SuspendRedraw() override {}
    void ResumeRedraw() override {}

private:
    struct Node {
        TreeItem parent = kNoTreeItem;
        bool checked = false;
    };
    std::vector<Node> m_nodes; // item n is m_nodes[n - 1]
};

} // namespace trawl
