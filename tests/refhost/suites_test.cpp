#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "refhost/host.h"
#include "refhost_fixture.h"

namespace refhost {
namespace {

class SuitesTest : public ::testing::Test {
 protected:
  SPErr Acquire(const char* name, A_long version, const void** table) {
    return basic->AcquireSuite(name, version, table);
  }

  Host host;
  PF_InData in = host.MakeInData(8, 8);
  SPBasicSuite* basic = in.pica_basicP;
};

TEST_F(SuitesTest, HandsOutTheFourSuitesAndCountsEachAcquisitionAndRelease) {
  const std::pair<const char*, A_long> suites[] = {
      {kPFHandleSuite, 2}, {kPFWorldTransformSuite, 1}, {kPFANSISuite, 1}, {kPFParamUtilsSuite, 3}};
  for (auto [name, version] : suites) {
    const void* table = nullptr;
    EXPECT_EQ(Acquire(name, version, &table), 0) << name;
    EXPECT_NE(table, nullptr) << name;
  }
  const void* table = nullptr;
  EXPECT_EQ(Acquire(kPFANSISuite, 1, &table), 0);
  EXPECT_EQ(host.GetLedger().acquiredSuites, 5);
  EXPECT_EQ(host.Acquisitions(kPFANSISuite, 1), 2);
  for (auto [name, version] : suites) EXPECT_EQ(basic->ReleaseSuite(name, version), 0);
  EXPECT_EQ(basic->ReleaseSuite(kPFANSISuite, 1), 0);
  EXPECT_EQ(host.Releases(kPFANSISuite, 1), 2);
  EXPECT_TRUE(host.GetLedger().Empty());
}

TEST_F(SuitesTest, AnUnknownOrMissingSuiteAnswersNonzeroAndNoTable) {
  const void* table = &table;
  EXPECT_NE(Acquire(kPFHandleSuite, 1, &table), 0);
  EXPECT_EQ(table, nullptr);
  EXPECT_NE(Acquire("PF Iterate8 Suite", 1, &table), 0);
  EXPECT_EQ(host.Acquisitions(kPFHandleSuite, 1), 0);
  host.SetSuiteMissing(kPFANSISuite, 1, true);
  table = &table;
  EXPECT_NE(Acquire(kPFANSISuite, 1, &table), 0);
  EXPECT_EQ(table, nullptr);
  EXPECT_TRUE(host.GetLedger().Empty());
  host.SetSuiteMissing(kPFANSISuite, 1, false);
  EXPECT_EQ(Acquire(kPFANSISuite, 1, &table), 0);
  basic->ReleaseSuite(kPFANSISuite, 1);
}

TEST_F(SuitesTest, ReleasingASuiteNotAcquiredIsAFault) {
  EXPECT_NE(basic->ReleaseSuite(kPFHandleSuite, 2), 0);
  const void* table = nullptr;
  Acquire(kPFHandleSuite, 2, &table);
  EXPECT_EQ(basic->ReleaseSuite(kPFHandleSuite, 2), 0);
  EXPECT_NE(basic->ReleaseSuite(kPFHandleSuite, 2), 0);
  EXPECT_EQ(host.GetLedger().faults, 2);
  EXPECT_EQ(host.Releases(kPFHandleSuite, 2), 1);
}

TEST_F(SuitesTest, AnsiFunctionsHaveTheCLibraryMeaningInBothTables) {
  const void* table = nullptr;
  ASSERT_EQ(Acquire(kPFANSISuite, 1, &table), 0);
  const auto* ansi = static_cast<const PF_ANSICallbacksSuite1*>(table);
  char buffer[64];
  EXPECT_EQ(ansi->sprintf(buffer, "%s v%d.%d\r%s", "VELUNARY", 1, 0, "x"), 15);
  EXPECT_STREQ(buffer, "VELUNARY v1.0\rx");
  EXPECT_EQ(in.utils->ansi.sprintf(buffer, "%03d", 7), 3);
  EXPECT_STREQ(buffer, "007");
  EXPECT_EQ(in.utils->ansi.strcpy(buffer, "Decay"), buffer);
  EXPECT_STREQ(buffer, "Decay");
  EXPECT_EQ(ansi->strcpy(buffer, ""), buffer);
  EXPECT_STREQ(buffer, "");
  EXPECT_EQ(host.CallCount(Op::Sprintf), 2);
  EXPECT_EQ(host.CallCount(Op::Strcpy), 2);
  basic->ReleaseSuite(kPFANSISuite, 1);
}

TEST(ActiveHostTest, OnlyOneHostIsActiveAtATime) {
  EXPECT_EQ(ActiveHost(), nullptr);
  {
    Host host;
    EXPECT_EQ(ActiveHost(), &host);
    EXPECT_THROW(Host second, std::logic_error);
    EXPECT_EQ(ActiveHost(), &host);
  }
  EXPECT_EQ(ActiveHost(), nullptr);
}

}  // namespace
}  // namespace refhost
