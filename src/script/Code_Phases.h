#pragma once
// Internal interfaces between the four compiler phases.
#include <cstddef>
#include <string>
#include <vector>

#include "script/Code_Main.h"

struct RToken1 {
  int symbol = 0;
  std::string str;  // the lexeme's text (UTF-8); for strings without the quotes
  int position = 0;
};

struct RToken2 {
  int symbol = 0;
  int ind = 0;
  RValue val;
  int position = 0;
};

// Each phase records its first error through RecordCodeError and returns false.
bool CodePhase1(const CCode& code, std::vector<RToken1>& out);
bool CodePhase2(const CCode& code, const std::vector<RToken1>& in, std::vector<RToken2>& out);
bool CodePhase3(const CCode& code, const std::vector<RToken2>& in, RToken& root);
bool CodePhase4(const CCode& code, RToken& root);

// Visits every node of a tree after its children, children in order, with a
// work list instead of recursion: a long operator chain makes a tree as deep
// as the chain is long. Stops at the first visit that returns false. The
// visit may change the node it is given, its children included.
template <class Node, class Visit>
bool VisitAfterChildren(Node& root, Visit&& visit) {
  struct Frame {
    Node* node;
    size_t next;
  };
  std::vector<Frame> work;
  work.push_back(Frame{&root, 0});
  while (!work.empty()) {
    Frame& top = work.back();
    if (top.next < top.node->items.size()) {
      Node* child = &top.node->items[top.next++];
      work.push_back(Frame{child, 0});
      continue;
    }
    Node* node = top.node;
    work.pop_back();
    if (!visit(*node)) return false;
  }
  return true;
}
