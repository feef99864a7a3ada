// The post-pass: local variables, constant owners and constant folding.
#include <unordered_set>

#include "script/Code_Error.h"
#include "script/Code_Operator.h"
#include "script/Code_Phases.h"

namespace {
class PostPass {
 public:
  explicit PostPass(const CCode& code) : code_(code) {}

  bool Walk(RToken& root) {
    return VisitAfterChildren(root, [this](RToken& node) { return Visit(node); });
  }

 private:
  bool Visit(RToken& node) {
    switch (node.kind) {
      case TK_VAR:
        for (const RToken& name : node.items) locals_.insert(name.ind);
        return true;
      case TK_VARIABLE: {
        RToken& owner = node.items[0];
        if (owner.kind == TK_CONSTANT && owner.value.IsReal() && owner.value.val == static_cast<double>(OWNER_UNQUALIFIED) &&
            locals_.count(node.ind) != 0)
          owner.value.SetReal(OWNER_LOCAL);
        if (node.itemnumb == 1 && owner.kind == TK_CONSTANT) {
          if (owner.value.IsString()) {
            RecordCodeError(code_, owner.position, "Left hand side must be a real value.");
            return false;
          }
          node.kind = TK_CONSTOWNERVAR;
          node.ind2 = RoundToInt(owner.value.val);
        }
        return true;
      }
      case TK_UNARY: {
        if (node.items[0].kind != TK_CONSTANT) return true;
        RValue v = node.items[0].value;
        if (!UnaryOperation(code_, node.position, node.ind, v)) return false;
        Fold(node, std::move(v));
        return true;
      }
      case TK_BINARY: {
        if (node.items[0].kind != TK_CONSTANT || node.items[1].kind != TK_CONSTANT) return true;
        // Moved, not copied: a long chain of string constants folds in
        // linear time.
        RValue left = std::move(node.items[0].value);
        if (!BinaryOperation(code_, node.items[1].position, node.ind, node.items[1].value, left)) return false;
        Fold(node, std::move(left));
        return true;
      }
      default:
        return true;
    }
  }

  static void Fold(RToken& node, RValue&& v) {
    node.kind = TK_CONSTANT;
    node.value = std::move(v);
    node.items.clear();
    node.itemnumb = 0;
  }
  const CCode& code_;
  std::unordered_set<int> locals_;
};
}  // namespace

bool CodePhase4(const CCode& code, RToken& root) {
  PostPass pass(code);
  return pass.Walk(root);
}
