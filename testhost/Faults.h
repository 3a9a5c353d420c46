// What the stand-in host withholds or breaks, chosen on the command line
// with --fault NAME[=VALUE] (see FaultHelp()).  Everything else behaves as
// a sound host does.
#pragma once

#include <cstdint>
#include <string>

#include "host/HostInterface.h"

namespace testhost {

enum class ForkFault { None, Seek, Read, Write, Closed };

struct Faults {
  bool noAdvanceState = false;
  bool noResourceAdd = false;
  bool noResourceCount = false;
  bool noResourceGet = false;
  bool noPropertyProcs = false;
  bool narrowCoordinates = false;  // the host offers only the 16-bit fields
  int refuseBuffer = 0;            // the Nth buffer request is refused (1-based)
  int refuseHandle = 0;            // the Nth handle request is refused (1-based)
  uint64_t bufferLimit = uint64_t{1} << 31;  // the host's memory for one buffer
  ForkFault fork = ForkFault::None;
  std::string refuseSuite;  // a suite name, or "all"
  SPErr refuseSuiteCode = kSPBadParameterError;
  bool noBasicSuite = false;
  bool abort = false;
  bool failingEngine = false;
  // > 0: the record claims this size, whatever the document's pixels are.
  int32_t claimedWidth = 0, claimedHeight = 0;  // the save runs an engine that prints and fails
  OSErr advanceStateError = noErr;
  // Scripting.
  int16_t playInfo = plugInDialogDisplay;
  int descriptorKeys = -1;  // >= 0: play back a descriptor with that many keys
  bool noDescriptorBlock = false;
  int16_t descriptorVersion = 0;
  int16_t readProcsVersion = 0;
  int16_t writeProcsVersion = 0;
  int readProcs = 18;
  int writeProcs = 16;
  OSErr closeReadError = noErr;
  bool emptyTitleHandle = false;
};

// Applies one "NAME" or "NAME=VALUE"; false, with `error` set, for an
// unknown name or a bad value.
bool ApplyFault(Faults& faults, const std::string& fault, std::string& error);
const char* FaultHelp();

}  // namespace testhost
