#pragma once

#include <cstdint>
#include <string>

namespace trawl {

// A handle to one item of a check-box tree; kNoTreeItem stands for "none" (the top level, or the
// parent of a top-level item).
using TreeItem = std::uintptr_t;
inline constexpr TreeItem kNoTreeItem = 0;

// The few operations the selection logic needs from a check-box tree control. The front end wraps
// its tree widget in this; tests use a fake.
class SelectionTree {
public:
    virtual ~SelectionTree() = default;

    // Inserts an item under `parent` (kNoTreeItem: at the top level) among its siblings in
    // alphabetical order of their labels, unchecked; returns its handle (never kNoTreeItem).
    virtual TreeItem InsertSorted(TreeItem parent, const std::string& label) = 0;
    virtual bool IsChecked(TreeItem item) const = 0;
    virtual void SetChecked(TreeItem item, bool checked) = 0;
    // kNoTreeItem for a top-level item.
    virtual TreeItem Parent(TreeItem item) const = 0;
    virtual void Expand(TreeItem item) = 0;
    // Calls come in pairs; a large change is made between them without repainting each item.
    virtual void SuspendRedraw() = 0;
    virtual void ResumeRedraw() = 0;
};

// Suspends redrawing on the first Begin() and resumes it when destroyed, if it was suspended.
class RedrawPause {
public:
    explicit RedrawPause(SelectionTree& tree) : m_tree(tree) {}
    ~RedrawPause()
    {
        if (m_suspended) {
            m_tree.ResumeRedraw();
        }
    }
    RedrawPause(const RedrawPause&) = delete;
    RedrawPause& operator=(const RedrawPause&) = delete;

    void Begin()
    {
        if (!m_suspended) {
            m_tree.SuspendRedraw();
            m_suspended = true;
        }
    }

private:
    SelectionTree& m_tree;
    bool m_suspended = false;
};

} // namespace trawl
