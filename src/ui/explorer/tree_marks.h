// The check marks of the folder tree. A marked folder is wanted whole: Recover takes everything
// below it. Every node also counts the marked nodes below it, so that a folder with something
// marked inside shows as partly checked. The rules work on any tree that answers the questions
// of IMarkTree, so they are tested without windows.
#pragma once

#include <cstdint>
#include <vector>

// The state images of the tree: 0 none (drive nodes), 1 unchecked, 2 checked, 3 partly checked.
enum class MarkState : int { None = 0, Unchecked = 1, Checked = 2, Partly = 3 };

class IMarkTree {
 public:
  using Node = uint32_t;
  static constexpr Node kNoNode = 0;

  virtual ~IMarkTree() = default;
  // The markable parent; kNoNode above the topmost found folders.
  virtual Node ParentOf(Node node) const = 0;
  virtual void ChildrenOf(Node node, std::vector<Node>& out) const = 0;
  virtual bool IsMarked(Node node) const = 0;
  virtual void SetMarked(Node node, bool marked) = 0;
  virtual int32_t MarkedBelow(Node node) const = 0;
  virtual void SetMarkedBelow(Node node, int32_t count) = 0;
  virtual void ShowState(Node node, MarkState state) = 0;
};

MarkState MarkStateOf(bool marked, int32_t markedBelow);

// A click on the node's check box: a checked node is unmarked, any other is marked.
void ToggleMark(IMarkTree& tree, IMarkTree::Node node);
// Marks the node and every node below it; the ancestors count them and show partly checked.
void MarkNode(IMarkTree& tree, IMarkTree::Node node);
// Unmarks the node and every node below it. An ancestor that was checked no longer stands for
// everything below it and loses its own mark; an ancestor with nothing marked left below it
// shows unchecked, the others partly checked.
void UnmarkNode(IMarkTree& tree, IMarkTree::Node node);
// A node just put below its parent: it takes the parent's mark, and the ancestors count it.
void AdoptParentMark(IMarkTree& tree, IMarkTree::Node node);
// A node about to leave the tree: its marks and those below it leave the ancestors' counts.
void ForgetNode(IMarkTree& tree, IMarkTree::Node node);
