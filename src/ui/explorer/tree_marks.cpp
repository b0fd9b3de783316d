#include "ui/explorer/tree_marks.h"

namespace {

using Node = IMarkTree::Node;

void ShowOwnState(IMarkTree& tree, Node node) {
  tree.ShowState(node, MarkStateOf(tree.IsMarked(node), tree.MarkedBelow(node)));
}

// Sets every node of the subtree to the mark and recounts it; returns how many nodes changed.
// An explicit stack: a tree read from a damaged drive may be deeper than the call stack.
int32_t SetSubtree(IMarkTree& tree, Node top, bool marked) {
  int32_t changed = 0;
  std::vector<Node> pending{top};
  std::vector<Node> visited;
  std::vector<Node> children;
  while (!pending.empty()) {
    const Node node = pending.back();
    pending.pop_back();
    if (tree.IsMarked(node) != marked) {
      tree.SetMarked(node, marked);
      ++changed;
    }
    visited.push_back(node);
    children.clear();
    tree.ChildrenOf(node, children);
    pending.insert(pending.end(), children.begin(), children.end());
  }
  // Every node below is now as the top one: a node's count is the size of its subtree less
  // itself when marked, 0 when not. Children come after their parents in visited, so the sizes
  // are summed from the end.
  for (auto it = visited.rbegin(); it != visited.rend(); ++it) {
    int32_t below = 0;
    if (marked) {
      children.clear();
      tree.ChildrenOf(*it, children);
      for (Node child : children) below += tree.MarkedBelow(child) + 1;
    }
    tree.SetMarkedBelow(*it, below);
    ShowOwnState(tree, *it);
  }
  return changed;
}

// Adds delta to the counts of every ancestor; with unmark set, a checked ancestor loses its
// own mark on the way (and is counted as one more unmarked node for those above it).
void UpdateAncestors(IMarkTree& tree, Node node, int32_t delta, bool unmark) {
  for (Node parent = tree.ParentOf(node); parent != IMarkTree::kNoNode;
       parent = tree.ParentOf(parent)) {
    int32_t below = tree.MarkedBelow(parent) + delta;
    if (below < 0) below = 0;
    tree.SetMarkedBelow(parent, below);
    if (unmark && tree.IsMarked(parent)) {
      tree.SetMarked(parent, false);
      --delta;
    }
    ShowOwnState(tree, parent);
  }
}

}  // namespace

MarkState MarkStateOf(bool marked, int32_t markedBelow) {
  if (marked) return MarkState::Checked;
  return markedBelow > 0 ? MarkState::Partly : MarkState::Unchecked;
}

void ToggleMark(IMarkTree& tree, Node node) {
  if (tree.IsMarked(node))
    UnmarkNode(tree, node);
  else
    MarkNode(tree, node);
}

void MarkNode(IMarkTree& tree, Node node) {
  const int32_t changed = SetSubtree(tree, node, true);
  UpdateAncestors(tree, node, changed, false);
}

void UnmarkNode(IMarkTree& tree, Node node) {
  const int32_t changed = SetSubtree(tree, node, false);
  UpdateAncestors(tree, node, -changed, true);
}

void AdoptParentMark(IMarkTree& tree, Node node) {
  const Node parent = tree.ParentOf(node);
  if (parent != IMarkTree::kNoNode && tree.IsMarked(parent))
    SetSubtree(tree, node, true);
  else
    ShowOwnState(tree, node);
  // A node that comes back with its own mark (its record kept it) counts as it is.
  const int32_t counted = tree.MarkedBelow(node) + (tree.IsMarked(node) ? 1 : 0);
  if (counted) UpdateAncestors(tree, node, counted, false);
}

void ForgetNode(IMarkTree& tree, Node node) {
  const int32_t counted = tree.MarkedBelow(node) + (tree.IsMarked(node) ? 1 : 0);
  if (counted == 0) return;
  for (Node parent = tree.ParentOf(node); parent != IMarkTree::kNoNode;
       parent = tree.ParentOf(parent)) {
    int32_t below = tree.MarkedBelow(parent) - counted;
    tree.SetMarkedBelow(parent, below < 0 ? 0 : below);
    ShowOwnState(tree, parent);
  }
}
