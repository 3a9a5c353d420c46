// The host services layer against the stand-in host in-process: suites,
// data fork, scripting and title.  Coordinates, buffers past 32 bits and the
// estimate are checked through the real module (ReadPath, SavePath,
// Selectors).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "host/HostServices.h"
#include "host/Selectors.h"
#include "support/Oracles.h"
#include "testhost/StandInHost.h"

namespace {

using host::HostContext;
using testhost::StandInHost;

// The calls that reach the host's basic suite, in order.
std::vector<std::string> g_basicCalls;
SPBasicSuite* g_hostBasic = nullptr;

SPErr CountedAcquire(const char* name, int32_t version, const void** suite) {
  g_basicCalls.push_back(std::string("acquire ") + name);
  return g_hostBasic->AcquireSuite(name, version, suite);
}

SPErr CountedRelease(const char* name, int32_t version) {
  g_basicCalls.push_back(std::string("release ") + name);
  return g_hostBasic->ReleaseSuite(name, version);
}

class HostServices : public ::testing::Test {
 protected:
  void SetUp() override { Prepare(); }

  // Rebuilds the record after the test changed the host's faults.
  void Prepare() {
    host.PrepareRecord();
    g_hostBasic = host.record().sSPBasic;
    g_basicCalls.clear();
    counted = {CountedAcquire, CountedRelease, nullptr, nullptr, nullptr, nullptr, nullptr};
    result = noErr;
    context.record = &host.record();
    context.result = &result;
    context.basic = g_hostBasic != nullptr ? &counted : nullptr;
  }

  void TearDown() override { host::ReleaseAllSuites(context); }

  StandInHost host;
  SPBasicSuite counted{};
  int16_t result = noErr;
  HostContext context;
};

TEST_F(HostServices, SuitesAreAcquiredOnceAndReleasedInTableOrder) {
  host::GetSuite(context, host::Suite::Buffer);
  host::GetSuite(context, host::Suite::Handle);
  host::GetSuite(context, host::Suite::Buffer);
  host::ReleaseAllSuites(context);
  EXPECT_EQ(g_basicCalls, (std::vector<std::string>{"acquire Photoshop Buffer Suite for Plug-ins",
                                                    "acquire Photoshop Handle Suite for Plug-ins",
                                                    "release Photoshop Handle Suite for Plug-ins",
                                                    "release Photoshop Buffer Suite for Plug-ins"}));
  host::ReleaseAllSuites(context);
  EXPECT_EQ(g_basicCalls.size(), 4u) << "a release with nothing held calls nothing";
}

TEST_F(HostServices, RefusedSuitesRaiseTheHostsCodeOrParm) {
  struct Case { const char* refuse; SPErr hostCode; bool basicSuite; SPErr expected; };
  for (const Case& c : {Case{"all", -108, true, -108}, Case{"Photoshop Buffer Suite for Plug-ins", 7, true, 7},
                        Case{"", 0, false, kSPBadParameterError}}) {
    host.faults().refuseSuite = c.refuse;
    host.faults().refuseSuiteCode = c.hostCode;
    host.faults().noBasicSuite = !c.basicSuite;
    Prepare();
    try {
      host::GetSuite(context, host::Suite::Buffer);
      ADD_FAILURE() << c.refuse << ": no exception";
    } catch (const host::SuiteError& error) {
      EXPECT_EQ(error.code(), c.expected) << c.refuse;
    }
  }
}

TEST_F(HostServices, DataForkReadsWritesAndSeeksWithTheHostsCodes) {
  oracle::TempDir dir;
  const std::string path = (dir.path() / "fork").string();
  oracle::WriteFile(path, std::vector<uint8_t>(20, 0x41));
  const int fork = open(path.c_str(), O_RDONLY);
  ASSERT_GE(fork, 0);
  EXPECT_EQ(host::SetDataForkPosition(fork, 0, 0), noErr);
  uint8_t bytes[28];
  int32_t count = 28;
  EXPECT_EQ(host::ReadDataFork(fork, &count, bytes), readErr);
  EXPECT_EQ(count, 20);
  EXPECT_EQ(host::SetDataForkPosition(fork, 0, 12), noErr);
  count = 8;
  EXPECT_EQ(host::ReadDataFork(fork, &count, bytes), noErr);
  uint64_t size = 0;
  EXPECT_TRUE(host::GetDataForkSize(fork, size));
  EXPECT_EQ(size, 20u);
  count = 4;
  EXPECT_EQ(host::WriteDataFork(fork, &count, bytes), writErr) << "the fork is read-only";
  close(fork);
  EXPECT_EQ(host::SetDataForkPosition(fork, 0, 0), writErr) << "closed handle";
  EXPECT_FALSE(host::GetDataForkSize(fork, size));
}

TEST_F(HostServices, DescriptorsAreUsableOnlyWithCurrentVersionsAndEveryNeededProcedure) {
  struct Case { const char* what; void (*change)(testhost::Faults&); bool usable; };
  const Case cases[] = {
      {"complete", [](testhost::Faults&) {}, true},
      {"first four write procedures only", [](testhost::Faults& f) { f.writeProcs = 4; }, true},
      {"three write procedures", [](testhost::Faults& f) { f.writeProcs = 3; }, false},
      {"17 read procedures", [](testhost::Faults& f) { f.readProcs = 17; }, false},
      {"block version 1", [](testhost::Faults& f) { f.descriptorVersion = 1; }, false},
      {"read procedures version 1", [](testhost::Faults& f) { f.readProcsVersion = 1; }, false},
      {"write procedures version 1", [](testhost::Faults& f) { f.writeProcsVersion = 1; }, false},
      {"no block", [](testhost::Faults& f) { f.noDescriptorBlock = true; }, false},
  };
  for (const Case& c : cases) {
    host.faults() = {};
    c.change(host.faults());
    Prepare();
    EXPECT_EQ(host::DescriptorsUsable(host.record()), c.usable) << c.what;
  }
}

TEST_F(HostServices, PlaybackDecidesTheDialogAndConsumesTheDescriptor) {
  struct Case {
    int16_t playInfo;
    int keys;  // -1: no descriptor
    int readProcs;
    bool dialog;
  };
  for (const Case& c : {Case{plugInDialogDontDisplay, 3, 18, false}, Case{plugInDialogDisplay, 3, 18, true},
                        Case{plugInDialogSilent, 0, 18, false}, Case{plugInDialogDontDisplay, -1, 18, true},
                        Case{plugInDialogDontDisplay, 2, 17, true}}) {
    host.faults() = {};
    host.faults().playInfo = c.playInfo;
    host.faults().descriptorKeys = c.keys;
    host.faults().readProcs = c.readProcs;
    Prepare();
    const size_t handlesBefore = host.liveHandles();
    EXPECT_EQ(host::ShouldShowDialog(context), c.dialog) << c.playInfo << " " << c.keys;
    if (c.keys >= 0 && c.readProcs == 18) {
      EXPECT_EQ(host.record().descriptorParameters->descriptor, nullptr);
      EXPECT_EQ(host.liveHandles(), handlesBefore - 1) << "the descriptor handle is disposed";
    }
  }
}

TEST_F(HostServices, ReadSideClosingErrorsBecomeTheResultExceptParamMissed) {
  for (OSErr closing : {noErr, errAEParamMissed, paramErr, static_cast<OSErr>(-1)}) {
    host.faults() = {};
    host.faults().descriptorKeys = 1;
    host.faults().closeReadError = closing;
    Prepare();
    host::DiscardReadDescriptor(context);
    EXPECT_EQ(result, closing == errAEParamMissed ? noErr : closing) << closing;
    EXPECT_EQ(host.record().descriptorParameters->descriptor, nullptr);
  }
}

TEST_F(HostServices, AnEmptyDescriptorReplacesThePlayedBackOne) {
  host.faults().descriptorKeys = 2;
  Prepare();
  Handle old = host.record().descriptorParameters->descriptor;
  host::HandBackEmptyDescriptor(context);
  Handle fresh = host.record().descriptorParameters->descriptor;
  ASSERT_NE(fresh, nullptr);
  EXPECT_FALSE(host.IsLiveHandle(old));
  EXPECT_TRUE(host.IsLiveHandle(fresh));
}

TEST_F(HostServices, TitleCodesAndOnlyGivenHandlesAreDisposed) {
  std::string title;
  host.document().title = "C:\\images\\photo.png";
  Prepare();
  EXPECT_EQ(host::GetDocumentTitle(context, title), noErr);
  EXPECT_EQ(title, "C:\\images\\photo.png");
  EXPECT_EQ(host.liveHandles(), 0u);

  host.document().title.clear();
  Prepare();
  EXPECT_EQ(host::GetDocumentTitle(context, title), paramErr) << "the host's error is passed on";

  host.faults().emptyTitleHandle = true;
  Prepare();
  EXPECT_EQ(host::GetDocumentTitle(context, title), errPlugInHostInsufficient);
  EXPECT_EQ(host.liveHandles(), 0u) << "the empty handle is disposed";

  host.faults() = {};
  host.faults().noPropertyProcs = true;
  Prepare();
  EXPECT_EQ(host::GetDocumentTitle(context, title), paramErr);
  EXPECT_EQ(host.Problems(), 0);
}

}  // namespace
