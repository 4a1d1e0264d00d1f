// The Sample Source DLL as a Source Manager sees it: identities listed in
// turn, sessions opened by name per application, closed, and replaced.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/host/host_platform.h"
#include "tests/host/sample_source_harness.h"

namespace {

using sample_test::Harness;
using sample_test::Val;

std::string Name(const TW_IDENTITY& identity) {
  return identity.ProductName;
}

// A Manager listing a file: MSG_GET with the Ids it picks, in order, until
// a name repeats or the Ids run out. Each answer must keep the Id asked with.
std::vector<std::string> List(Harness& h, std::vector<TW_UINT32> ids) {
  std::vector<std::string> names;
  for (TW_UINT32 id : ids) {
    TW_IDENTITY identity{};
    identity.Id = id;
    EXPECT_EQ(h.Call(DG_CONTROL, DAT_IDENTITY, MSG_GET, &identity), TWRC_SUCCESS);
    EXPECT_EQ(Val(identity.Id), id);
    EXPECT_EQ(Val(identity.SupportedGroups), DG_CONTROL | DG_IMAGE);
    names.push_back(Name(identity));
    if (std::count(names.begin(), names.end(), names.back()) > 1) break;
  }
  return names;
}

using Names = std::vector<std::string>;

// Which identity a file answers does not depend on the Ids a Manager picks:
// Wine's asks with 0, 1, 2, the 2.x Manager once with the Id it assigned.
TEST(SampleModule, IdentitiesGoInTurnWhateverIdsTheManagerAsksWith) {
  Harness both;
  EXPECT_EQ(List(both, {0, 1, 2}), (Names{"Sample Flatbed", "Sample Fault Lab", "Sample Flatbed"}));
  EXPECT_EQ(List(both, {1, 2, 7}), (Names{"Sample Flatbed", "Sample Fault Lab", "Sample Flatbed"}));
  EXPECT_EQ(List(both, {7}), (Names{"Sample Flatbed"}));
  // A listing cut short (the 2.x Manager's one MSG_GET) ends at the next
  // other triplet: opening starts the next listing afresh.
  ASSERT_EQ(both.Open(sample::kFaultLabName), TWRC_SUCCESS);
  EXPECT_EQ(Name(both.source().identity()), "Sample Fault Lab");
  EXPECT_EQ(List(both, {2, 1}), (Names{"Sample Flatbed", "Sample Fault Lab"}));
  EXPECT_EQ(both.module().SessionCount(), 1u);

  Harness flatbed("", {0});
  EXPECT_EQ(List(flatbed, {1, 2, 7}), (Names{"Sample Flatbed", "Sample Flatbed"}));
  EXPECT_EQ(List(flatbed, {1}), (Names{"Sample Flatbed"}));
  Harness faultLab("", {sample::kFaultLabIndex});
  EXPECT_EQ(List(faultLab, {1, 2, 7}), (Names{"Sample Fault Lab", "Sample Fault Lab"}));
}

// The Fault Lab's own file: every name leads to the Fault Lab, so a Manager
// that lists one identity per file still shows it.
TEST(SampleModule, FaultLabFileOpensOnlyTheFaultLab) {
  Harness h("refuse-enable", {sample::kFaultLabIndex});
  ASSERT_EQ(h.Open(sample::kFlatbedName), TWRC_SUCCESS);
  EXPECT_EQ(Name(h.source().identity()), "Sample Fault Lab");
  // It is the Fault Lab, misbehaviours and all.
  EXPECT_EQ(h.Enable(false), TWRC_FAILURE);
}

TEST(SampleModule, OpenByNameKeepsTheManagersIdAndClosesOnlyInStateFour) {
  Harness h;
  TW_IDENTITY identity{};
  identity.Id = 9;
  std::strcpy(identity.ProductName, "Sample Fault Lab");
  ASSERT_EQ(h.Call(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &identity), TWRC_SUCCESS);
  EXPECT_EQ(Val(identity.Id), 9u);
  EXPECT_EQ(Name(identity), "Sample Fault Lab");
  EXPECT_EQ(std::string(identity.Manufacturer), "Kandrith");
  EXPECT_EQ(Val(h.source().identity().Id), 9u);

  ASSERT_EQ(h.Enable(true), TWRC_SUCCESS);
  EXPECT_EQ(h.Call(DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &identity), TWRC_FAILURE);
  EXPECT_EQ(h.Condition(), TWCC_SEQERROR);
  TW_USERINTERFACE ui{};
  ASSERT_EQ(h.Call(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_SUCCESS);
  EXPECT_EQ(h.Call(DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &identity), TWRC_SUCCESS);
  EXPECT_EQ(h.module().SessionCount(), 0u);
  EXPECT_FALSE(h.host.dialogOpen);

  // Closed: the Source answers nothing but its status and identities.
  TW_CAPABILITY cap{ICAP_UNITS, TWON_DONTCARE16, nullptr};
  EXPECT_EQ(h.Call(DG_CONTROL, DAT_CAPABILITY, MSG_GET, &cap), TWRC_FAILURE);
  EXPECT_EQ(h.Condition(), TWCC_SEQERROR);
  EXPECT_EQ(h.Call(DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &identity), TWRC_FAILURE);
  EXPECT_EQ(h.Call(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, nullptr), TWRC_FAILURE);
  EXPECT_EQ(h.Condition(), TWCC_BADVALUE);
}

TEST(SampleModule, AnUnknownNameOpensTheDefaultAndEachApplicationHasItsOwn) {
  Harness h;
  ASSERT_EQ(h.Open("Some Other Scanner"), TWRC_SUCCESS);
  EXPECT_EQ(Name(h.source().identity()), "Sample Flatbed");
  ASSERT_EQ(h.SetOne(ICAP_PIXELTYPE, TWTY_UINT16, TWPT_GRAY), TWRC_SUCCESS);

  TW_IDENTITY other{};
  other.Id = 8;
  TW_IDENTITY requested{};
  std::strcpy(requested.ProductName, "Sample Flatbed");
  ASSERT_EQ(h.module().Entry(&other, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &requested),
            TWRC_SUCCESS);
  EXPECT_EQ(h.module().SessionCount(), 2u);
  EXPECT_EQ(h.module().Session(8)->settings().pixelType, TWPT_RGB);
  EXPECT_EQ(h.source().settings().pixelType, TWPT_GRAY);
}

TEST(SampleModule, AnAbandonedSessionIsReplacedWhenTheManagerOpensAgain) {
  // A hard reset after a fault abandons an enabled Source; the next Manager
  // opens it afresh.
  Harness h;
  ASSERT_EQ(h.Open(), TWRC_SUCCESS);
  ASSERT_EQ(h.Enable(true), TWRC_SUCCESS);
  ASSERT_EQ(h.Open(), TWRC_SUCCESS);
  EXPECT_EQ(h.State(), 4);
  EXPECT_EQ(h.module().SessionCount(), 1u);
  EXPECT_FALSE(h.host.dialogOpen);  // the old session's dialog went with it
}

TEST(SampleModule, EntryPointReachesTheHostsAndTripletsAreTraced) {
  Harness h;
  std::vector<std::string> lines;
  h.module().SetTrace([&](const std::string& line) { lines.push_back(line); });
  TW_ENTRYPOINT entry{};
  entry.Size = sizeof(entry);
  EXPECT_EQ(h.Call(DG_CONTROL, DAT_ENTRYPOINT, MSG_SET, &entry), TWRC_SUCCESS);
  ASSERT_EQ(h.Open(), TWRC_SUCCESS);
  EXPECT_NE(h.host.entryPoint, nullptr);
  TW_STATUS status{};
  EXPECT_EQ(h.Call(DG_CONTROL, DAT_STATUS, MSG_GET, &status), TWRC_SUCCESS);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1], "app 7: DG_CONTROL / DAT_IDENTITY / MSG_OPENDS -> rc 0");

  Harness fresh;
  ASSERT_EQ(fresh.Open(), TWRC_SUCCESS);
  EXPECT_EQ(fresh.host.entryPoint, nullptr);
}

}  // namespace
