#include "testhost/Faults.h"

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <map>

namespace testhost {

namespace {

bool ParseInt(const std::string& text, long long& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  value = std::strtoll(text.c_str(), &end, 0);
  return end != nullptr && *end == 0;
}

using Setter = std::function<bool(Faults&, const std::string&)>;

Setter Flag(bool Faults::*field) {
  return [field](Faults& faults, const std::string& value) {
    faults.*field = true;
    return value.empty();
  };
}

template <typename T>
Setter Number(T Faults::*field) {
  return [field](Faults& faults, const std::string& value) {
    long long number = 0;
    if (!ParseInt(value, number)) return false;
    faults.*field = static_cast<T>(number);
    return true;
  };
}

Setter Fork(ForkFault fault) {
  return [fault](Faults& faults, const std::string& value) {
    faults.fork = fault;
    return value.empty();
  };
}

const std::map<std::string, Setter>& Setters() {
  static const std::map<std::string, Setter> setters = {
      {"no-advance-state", Flag(&Faults::noAdvanceState)},
      {"no-resource-add", Flag(&Faults::noResourceAdd)},
      {"no-resource-count", Flag(&Faults::noResourceCount)},
      {"no-resource-get", Flag(&Faults::noResourceGet)},
      {"no-property-procs", Flag(&Faults::noPropertyProcs)},
      {"coords16", Flag(&Faults::narrowCoordinates)},
      {"refuse-buffer", Number(&Faults::refuseBuffer)},
      {"refuse-handle", Number(&Faults::refuseHandle)},
      {"buffer-limit", Number(&Faults::bufferLimit)},
      {"seek-fails", Fork(ForkFault::Seek)},
      {"read-fails", Fork(ForkFault::Read)},
      {"write-fails", Fork(ForkFault::Write)},
      {"closed-fork", Fork(ForkFault::Closed)},
      {"refuse-suite",
       [](Faults& faults, const std::string& value) {
         faults.refuseSuite = value;
         return !value.empty();
       }},
      {"claim-size",
       [](Faults& faults, const std::string& value) {
         const size_t x = value.find('x');
         long long width = 0, height = 0;
         if (x == std::string::npos || !ParseInt(value.substr(0, x), width) || !ParseInt(value.substr(x + 1), height) ||
             width <= 0 || height <= 0 || width > INT32_MAX || height > INT32_MAX)
           return false;
         faults.claimedWidth = static_cast<int32_t>(width);
         faults.claimedHeight = static_cast<int32_t>(height);
         return true;
       }},
      {"suite-error", Number(&Faults::refuseSuiteCode)},
      {"no-basic-suite", Flag(&Faults::noBasicSuite)},
      {"abort", Flag(&Faults::abort)},
      {"engine-fails", Flag(&Faults::failingEngine)},
      {"advance-state-error", Number(&Faults::advanceStateError)},
      {"play-info", Number(&Faults::playInfo)},
      {"descriptor", Number(&Faults::descriptorKeys)},
      {"no-descriptor-block", Flag(&Faults::noDescriptorBlock)},
      {"descriptor-version", Number(&Faults::descriptorVersion)},
      {"read-procs-version", Number(&Faults::readProcsVersion)},
      {"write-procs-version", Number(&Faults::writeProcsVersion)},
      {"read-procs", Number(&Faults::readProcs)},
      {"write-procs", Number(&Faults::writeProcs)},
      {"close-error", Number(&Faults::closeReadError)},
      {"empty-title-handle", Flag(&Faults::emptyTitleHandle)},
  };
  return setters;
}

}  // namespace

bool ApplyFault(Faults& faults, const std::string& fault, std::string& error) {
  const size_t equals = fault.find('=');
  const std::string name = fault.substr(0, equals);
  const std::string value = equals == std::string::npos ? "" : fault.substr(equals + 1);
  auto found = Setters().find(name);
  if (found == Setters().end()) {
    error = "unknown fault: " + name;
    return false;
  }
  if (!found->second(faults, value)) {
    error = "bad value for fault " + name + ": '" + value + "'";
    return false;
  }
  return true;
}

const char* FaultHelp() {
  return "faults (--fault NAME[=VALUE], repeatable):\n"
         "  no-advance-state, no-resource-add, no-resource-count, no-resource-get,\n"
         "  no-property-procs, coords16 (16-bit coordinates only),\n"
         "  refuse-buffer=N, refuse-handle=N (the Nth request), buffer-limit=BYTES,\n"
         "  seek-fails, read-fails, write-fails, closed-fork (the data fork),\n"
         "  refuse-suite=NAME|all, suite-error=CODE, no-basic-suite, abort,\n"
         "  claim-size=WxH (the record's size, whatever the pixels),\n"
         "  engine-fails (the save's engine prints a malloc failure and fails),\n"
         "  advance-state-error=CODE, play-info=N, descriptor=KEYS, no-descriptor-block,\n"
         "  descriptor-version=N, read-procs-version=N, write-procs-version=N,\n"
         "  read-procs=N, write-procs=N, close-error=CODE, empty-title-handle\n";
}

}  // namespace testhost
