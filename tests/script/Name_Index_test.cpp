// The name index behind the built-in tables: first entry wins, replacement,
// growth, and names of every length the hash reads in steps.
#include "script/Name_Index.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(NameIndex, FirstInsertWinsAndAssignReplaces) {
  CNameIndex index;
  EXPECT_EQ(index.Find("abs"), -1);
  EXPECT_TRUE(index.Insert("abs", 0));
  EXPECT_FALSE(index.Insert("abs", 7));
  EXPECT_EQ(index.Find("abs"), 0);
  index.Assign("abs", 9);
  EXPECT_EQ(index.Find("abs"), 9);
  index.Assign("sqrt", 3);
  EXPECT_EQ(index.Find("sqrt"), 3);
  EXPECT_EQ(index.Size(), 2u);
  EXPECT_EQ(index.Find("Abs"), -1);
  EXPECT_EQ(index.Find("ab"), -1);
  EXPECT_EQ(index.Find("abs "), -1);
  ASSERT_NE(index.FindKey("sqrt"), nullptr);
  EXPECT_EQ(*index.FindKey("sqrt"), "sqrt");
  EXPECT_EQ(index.FindKey("cos"), nullptr);
}

TEST(NameIndex, KeepsTheFirstTextOfAName) {
  CNameIndex index;
  const std::string first = "shared", second = "shared";
  index.Insert(first, 1);
  index.Assign(second, 2);
  EXPECT_EQ(index.FindKey("shared")->data(), first.data());
  EXPECT_EQ(index.Find("shared"), 2);
}

// Every name stays findable while the slots grow, from no reserve and with
// one; names from 0 to 40 characters, many sharing long prefixes.
TEST(NameIndex, GrowsAndFindsEveryName) {
  std::vector<std::string> names;
  for (int len = 0; len <= 40; ++len)
    for (int k = 0; k < 60; ++k) {
      std::string name(size_t(len), 'a');
      if (len > 0) name[size_t(len) - 1] = char('A' + k % 26);
      if (len > 1) name[0] = char('0' + k / 26);
      names.push_back(name);
    }
  for (bool reserve : {false, true}) {
    CNameIndex index;
    if (reserve) index.Reserve(names.size());
    int added = 0;
    for (size_t i = 0; i < names.size(); ++i)
      if (index.Insert(names[i], int(i))) ++added;
    EXPECT_EQ(index.Size(), size_t(added));
    for (size_t i = 0; i < names.size(); ++i) {
      const int id = index.Find(names[i]);
      ASSERT_GE(id, 0) << names[i];
      EXPECT_EQ(names[size_t(id)], names[i]);
      EXPECT_LE(size_t(id), i);  // the first entry of the name
    }
    EXPECT_EQ(index.Find(std::string(41, 'a')), -1);
  }
}
