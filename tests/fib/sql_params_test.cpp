#include <gtest/gtest.h>

#include "global/fib/sql_params.h"

namespace korvel::fib {
namespace {

TEST(ParseParams, NamesBecomePositionalOutsideQuotesAndComments) {
  struct Case {
    const char* sql;
    const char* expected;
    std::vector<std::string> names;
    std::vector<int> slots;
  };
  const Case cases[] = {
      {"INSERT INTO T VALUES(:param1, :param2)", "INSERT INTO T VALUES(?, ?)", {"param1", "param2"}, {0, 1}},
      {"WHERE a = :B AND b = :a AND c = :b", "WHERE a = ? AND b = ? AND c = ?", {"B", "a"}, {0, 1, 0}},
      {"SELECT ':x', \":y\" FROM T WHERE z = :z", "SELECT ':x', \":y\" FROM T WHERE z = ?", {"z"}, {0}},
      {"SELECT 'it''s :no' FROM T -- :c\nWHERE a = ? /* :d */",
       "SELECT 'it''s :no' FROM T -- :c\nWHERE a = ? /* :d */",
       {""},
       {0}},
      {"SELECT x FROM T WHERE a = ? AND b = ?", "SELECT x FROM T WHERE a = ? AND b = ?", {"", ""}, {0, 1}},
      {"SELECT '10:30' FROM T", "SELECT '10:30' FROM T", {}, {}},
  };
  for (const Case& c : cases) {
    const ParsedSql parsed = ParseParams(c.sql);
    EXPECT_EQ(parsed.sql, c.expected) << c.sql;
    EXPECT_EQ(parsed.names, c.names) << c.sql;
    EXPECT_EQ(parsed.slots, c.slots) << c.sql;
  }
}

}  // namespace
}  // namespace korvel::fib
