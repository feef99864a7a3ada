// The room's active and deactivated lists: how UpdateActive re-forms them and
// keeps the per-object lists in step, and how removal treats deactivated
// instances. The deactivation functions themselves are exercised end to end
// in Game_Run_test.cpp (run_deact).
#include <gtest/gtest.h>

#include <vector>

#include "resources/Object_Main.h"
#include "runner/DataNew_Main.h"
#include "runtime/Instance_Class.h"
#include "runtime/Object_Lists.h"

namespace {

class RoomListsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearObjects();
    parent_ = AddObject();
    child_ = AddObject();
    other_ = AddObject();
    GetObject(child_)->o_parent = parent_;
    LastInstanceId = 100000;
  }
  void TearDown() override { ClearObjects(); }

  static std::vector<int> Ids(const std::vector<std::unique_ptr<CInstance>>& list) {
    std::vector<int> out;
    for (const auto& p : list) out.push_back(p->i_id - 100000);
    return out;
  }
  static std::vector<int> ObjIds(const CRoomInstances& l, int obj, bool recursive) {
    std::vector<int> out;
    const int n = recursive ? l.Obj_Number_Recursive(obj) : l.Obj_Number(obj);
    for (int k = 0; k < n; ++k)
      out.push_back((recursive ? l.Obj_Instance_Recursive(obj, k) : l.Obj_Instance(obj, k))->i_id - 100000);
    return out;
  }

  int parent_ = -1, child_ = -1, other_ = -1;
};

TEST_F(RoomListsTest, UpdateActiveMovesEachWayKeepingOrder) {
  CRoomInstances l;
  std::vector<CInstance*> in;
  for (int o : {child_, other_, child_, parent_, other_}) in.push_back(l.AddInstance(o, 0, 0));

  // Deactivating 4 then 1 (in separate calls) gives the deactivated list
  // [4, 1]; the per-object lists hold only active instances.
  in[3]->i_deactivated = true;
  l.UpdateActive();
  in[0]->i_deactivated = true;
  l.UpdateActive();
  EXPECT_EQ(Ids(l.r_instance), (std::vector<int>{2, 3, 5}));
  EXPECT_EQ(Ids(l.r_instance_deact), (std::vector<int>{4, 1}));
  EXPECT_EQ(ObjIds(l, parent_, true), (std::vector<int>{3}));
  EXPECT_EQ(ObjIds(l, child_, false), (std::vector<int>{3}));
  EXPECT_EQ(l.Count(), 3);

  // One call that brings 1 and 4 back and sends 2 away: the returning ones
  // are appended in deactivated-list order, the leaving one goes to the end
  // of the deactivated list.
  const CInstance* one = in[0];
  in[0]->i_deactivated = false;
  in[3]->i_deactivated = false;
  in[1]->i_deactivated = true;
  l.UpdateActive();
  EXPECT_EQ(Ids(l.r_instance), (std::vector<int>{3, 5, 4, 1}));
  EXPECT_EQ(Ids(l.r_instance_deact), (std::vector<int>{2}));
  EXPECT_EQ(ObjIds(l, parent_, true), (std::vector<int>{3, 4, 1}));
  EXPECT_EQ(ObjIds(l, other_, false), (std::vector<int>{5}));
  EXPECT_EQ(l.At(3), one);  // the same object, never copied

  // No flag changed: nothing moves.
  l.UpdateActive();
  EXPECT_EQ(Ids(l.r_instance), (std::vector<int>{3, 5, 4, 1}));
  EXPECT_EQ(Ids(l.r_instance_deact), (std::vector<int>{2}));
}

TEST_F(RoomListsTest, RemovalDropsMarkedInstancesFromBothLists) {
  CRoomInstances l;
  CInstance* a = l.AddInstance(child_, 0, 0);
  CInstance* b = l.AddInstance(child_, 0, 0);
  CInstance* c = l.AddInstance(other_, 0, 0);
  // b deactivates itself and is destroyed in the same event; c is deactivated
  // and stays.
  b->i_deactivated = true;
  c->i_deactivated = true;
  l.UpdateActive();
  b->i_marked = true;
  l.RemoveMarked();
  EXPECT_EQ(Ids(l.r_instance_deact), (std::vector<int>{3}));
  b = nullptr;
  c->i_deactivated = false;
  l.UpdateActive();
  EXPECT_EQ(Ids(l.r_instance), (std::vector<int>{1, 3}));
  EXPECT_TRUE(l.r_instance_deact.empty());
  EXPECT_EQ(ObjIds(l, parent_, true), (std::vector<int>{1}));
  EXPECT_EQ(l.At(0), a);
}

}  // namespace
