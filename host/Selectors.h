// The actions PluginMain dispatches to, one per selector that does more than
// set a field.  Each works on the module's HostContext, whose record, result
// and suites PluginMain has refreshed for the call, and reports through the
// context's result slot (HostContext::Fail).  They may throw SuiteError or
// std::bad_alloc; PluginMain turns either into a result code and releases
// what the sequence held.
//
// The about box is host/AboutBox.cpp; the save, with the dialogs it runs,
// is host/WritePath.cpp.
#pragma once

#include "host/HostInterface.h"
#include "host/HostServices.h"

namespace host {

// Selector 0: the about box (dialog 16000).  `about` holds the basic suite
// and the plug-in reference; context.record is null for this call.
void ShowAboutBox(HostContext& context, const AboutRecord& about);

// Selectors 2, 3, 4: open a PNG (host/ReadPath.cpp).
void ReadStart(HostContext& context);
void ReadContinue(HostContext& context);
void ReadFinish(HostContext& context);

// Selector 14: the whole save.
void WriteStart(HostContext& context);

// Selector 10 and 17 (host/PluginMain.cpp, exposed for the tests' tables).
int32_t EstimateFileSize(const FormatRecord& record);
OSErr FilterFile(DataForkHandle fork);

}  // namespace host
