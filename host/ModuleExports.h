// What the Linux module exports besides PluginMain, so that a host stand-in
// can see what a Windows host gets from the platform: the module's resources
// (the Windows module carries the same bytes as real resources) and its
// message boxes (on Windows real boxes on the screen).  The stand-in
// declares the same signatures and finds the functions by these names.
#pragma once

#include <cstddef>
#include <cstdint>

#include "host/HostInterface.h"

inline constexpr char kModuleResourceSymbol[] = "VelkorModuleResource";
inline constexpr char kMessageBoxCallbackSymbol[] = "VelkorSetMessageBoxCallback";

// The version text, as the version resource's "ProductVersion", id 1.
inline constexpr OSType kProductVersionResource = FourCC("VERS");

// Points *bytes and *size at the resource and returns 1, or returns 0 when
// the module has no such resource.
using ModuleResourceProc = int (*)(OSType type, int32_t id, const uint8_t** bytes, size_t* size);

// Every later message box of the module goes to `callback` (null: back to
// the module's own recorder).
using MessageBoxCallback = void (*)(void* context, const char* text, const char* title);
using SetMessageBoxCallbackProc = void (*)(MessageBoxCallback callback, void* context);
