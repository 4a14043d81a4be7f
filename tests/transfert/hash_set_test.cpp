#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <set>

#include "source/transfert/known_keys.h"

namespace korvel {
namespace {

// The set answers exactly as an ordered set of the same hashes would, through its
// growth and for the hash 0 (held as another value).
TEST(HashSet64Test, AnswersAsASetOfTheSameHashesThroughItsGrowth) {
  HashSet64 set;
  std::set<uint64_t> reference;
  std::mt19937_64 rng(3);
  EXPECT_FALSE(set.Contains(0));
  set.Insert(0);
  reference.insert(0);
  for (int i = 0; i < 100000; ++i) {
    const uint64_t h = i % 3 == 0 ? static_cast<uint64_t>(i) : rng();
    set.Insert(h);
    set.Insert(h);  // a second time changes nothing
    reference.insert(h);
  }
  EXPECT_EQ(set.Size(), reference.size());
  for (const uint64_t h : reference) ASSERT_TRUE(set.Contains(h)) << h;
  int absent = 0;
  for (int i = 0; i < 100000; ++i) {
    const uint64_t h = rng();
    if (reference.count(h) == 0) absent += set.Contains(h) ? 0 : 1;
  }
  EXPECT_EQ(absent, 100000);
  set.Clear();
  EXPECT_EQ(set.Size(), 0u);
  EXPECT_FALSE(set.Contains(3));
}

}  // namespace
}  // namespace korvel
