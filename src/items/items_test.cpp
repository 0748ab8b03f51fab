#include "items/items.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

TEST(AmountField, MapsEveryStoredItemToItsOwnField) {
  PeriodRecord record{};
  std::vector<double*> seen;
  for (int item = 1; item <= 25; ++item) {
    double* field = amount_field(&record, item);
    bool stored = (item >= 4 && item <= 10) || (item >= 12 && item <= 23);
    EXPECT_EQ(field != nullptr, stored) << item;
    if (field == nullptr) continue;
    EXPECT_EQ(std::count(seen.begin(), seen.end(), field), 0) << item;
    seen.push_back(field);
  }
  EXPECT_EQ(amount_field(&record, 4), &record.net_sales);
  EXPECT_EQ(amount_field(&record, 12), &record.equity_per_share);
  EXPECT_EQ(amount_field(&record, 23), &record.ordinary_roa);
}

}  // namespace
