// The records, callbacks, suites and result codes through which an image
// editor drives a file-format plug-in module (kind 8BIF) and through which
// the module calls back into it.
//
// This is our own declaration, written from what the module uses: every
// record carries the fields the frame, the dialogs and the host stand-in
// read or write, in one fixed order that the module and the stand-in share.
// Procedures the module only tests for presence (most descriptor procedures,
// the handle procedures of the record) are declared as untyped slots.
// All records use the platform's natural alignment; the module and any host
// must be built with the same layout, which holds since both include this
// header.
#pragma once

#include <cstdint>

// ---------------------------------------------------------------- basics --

using OSErr = int16_t;     // host result code, signed 16-bit
using SPErr = int32_t;     // suite-layer result code
using Fixed = int32_t;     // 16.16 fixed point
using OSType = uint32_t;   // four-character code, first character highest
using HostBoolean = uint8_t;

// An opaque, relocatable block of memory owned by the host's handle suite.
struct HostHandleBlock;
using Handle = HostHandleBlock*;

// A host-side reference to the loaded plug-in (used to find its resources).
struct HostPluginRecord;
using SPPluginRef = HostPluginRecord*;

// The platform file handle of the document's data fork: a Win32 HANDLE on
// Windows, a file descriptor on other systems.
using DataForkHandle = intptr_t;

constexpr OSType FourCC(const char (&text)[5]) {
  return static_cast<OSType>(static_cast<uint8_t>(text[0])) << 24 |
         static_cast<OSType>(static_cast<uint8_t>(text[1])) << 16 |
         static_cast<OSType>(static_cast<uint8_t>(text[2])) << 8 |
         static_cast<OSType>(static_cast<uint8_t>(text[3]));
}

// ----------------------------------------------------------------- codes --

constexpr OSErr noErr = 0;
constexpr OSErr readErr = -19;
constexpr OSErr writErr = -20;
constexpr OSErr paramErr = -50;
constexpr OSErr memFullErr = -108;
constexpr OSErr userCanceledErr = -128;
constexpr OSErr errAEParamMissed = -1715;
constexpr OSErr formatCannotRead = -30501;
constexpr OSErr errPlugInHostInsufficient = -30900;

// The suite layer's "bad parameter" code: the four characters 'Parm'.
constexpr SPErr kSPBadParameterError = static_cast<SPErr>(FourCC("Parm"));

// ------------------------------------------------------------- selectors --

enum FormatSelector : int16_t {
  formatSelectorAbout = 0,
  formatSelectorReadPrepare = 1,
  formatSelectorReadStart = 2,
  formatSelectorReadContinue = 3,
  formatSelectorReadFinish = 4,
  formatSelectorOptionsPrepare = 5,
  formatSelectorOptionsStart = 6,
  formatSelectorOptionsContinue = 7,
  formatSelectorOptionsFinish = 8,
  formatSelectorEstimatePrepare = 9,
  formatSelectorEstimateStart = 10,
  formatSelectorEstimateContinue = 11,
  formatSelectorEstimateFinish = 12,
  formatSelectorWritePrepare = 13,
  formatSelectorWriteStart = 14,
  formatSelectorWriteContinue = 15,
  formatSelectorWriteFinish = 16,
  formatSelectorFilterFile = 17,
};

// Image modes of the record's imageMode.
constexpr int16_t plugInModeBitmap = 0;
constexpr int16_t plugInModeGrayScale = 1;
constexpr int16_t plugInModeIndexedColor = 2;
constexpr int16_t plugInModeRGBColor = 3;
constexpr int16_t plugInModeCMYKColor = 4;

// playInfo of the descriptor parameters.
constexpr int16_t plugInDialogDontDisplay = 0;
constexpr int16_t plugInDialogDisplay = 1;
constexpr int16_t plugInDialogSilent = 2;

// ---------------------------------------------------------- small shapes --

struct Point16 {
  int16_t v;  // height / row
  int16_t h;  // width / column
};

struct VPoint {
  int32_t v;
  int32_t h;
};

struct Rect16 {
  int16_t top, left, bottom, right;
};

struct VRect {
  int32_t top, left, bottom, right;
};

using LookUpTable = uint8_t[256];
using PlaneMap = int16_t[16];

// A procedure slot the module only tests for presence.
using UnusedProc = void (*)();

// ------------------------------------------------------------- callbacks --

using TestAbortProc = HostBoolean (*)();
using ProgressProc = void (*)(int32_t done, int32_t total);
using AdvanceStateProc = OSErr (*)();

// Image resources of the document (type, handle of bytes).
using CountPIResourcesProc = int16_t (*)(OSType type);
using GetPIResourceProc = Handle (*)(OSType type, int16_t index);
using DeletePIResourceProc = void (*)(OSType type, int16_t index);
using AddPIResourceProc = OSErr (*)(OSType type, Handle data);

struct ResourceProcs {
  int16_t resourceProcsVersion;
  int16_t numResourceProcs;
  CountPIResourcesProc countProc;
  GetPIResourceProc getProc;
  DeletePIResourceProc deleteProc;
  AddPIResourceProc addProc;
};

// Document properties (the title is signature 8BIM, key 'titl').
using GetPropertyProc = OSErr (*)(OSType signature, OSType key, int32_t index, intptr_t* simpleProperty,
                                  Handle* complexProperty);
using SetPropertyProc = OSErr (*)(OSType signature, OSType key, int32_t index, intptr_t simpleProperty,
                                  Handle complexProperty);

struct PropertyProcs {
  int16_t propertyProcsVersion;
  int16_t numPropertyProcs;
  GetPropertyProc getPropertyProc;
  SetPropertyProc setPropertyProc;
};

constexpr OSType kPhotoshopSignature = FourCC("8BIM");
constexpr OSType propTitle = FourCC("titl");

// The handle procedures carried in the record itself; the module uses the
// handle suite instead and only the stand-in fills these.
struct HandleProcs {
  int16_t handleProcsVersion;
  int16_t numHandleProcs;
  UnusedProc newProc, disposeProc, getSizeProc, setSizeProc, lockProc, unlockProc, recoverSpaceProc,
      disposeRegularHandleProc;
};

// ----------------------------------------------------- scripting (descriptors) --

struct HostReadDescriptor;
struct HostWriteDescriptor;
using PIReadDescriptor = HostReadDescriptor*;
using PIWriteDescriptor = HostWriteDescriptor*;
using PIDescriptorHandle = Handle;
using DescriptorKeyID = OSType;
using DescType = OSType;
using DescriptorKeyIDArray = const DescriptorKeyID*;

using OpenReadDescriptorProc = PIReadDescriptor (*)(PIDescriptorHandle descriptor, DescriptorKeyIDArray keys);
using CloseReadDescriptorProc = OSErr (*)(PIReadDescriptor token);
using GetKeyProc = HostBoolean (*)(PIReadDescriptor token, DescriptorKeyID* key, DescType* type, int32_t* flags);

constexpr int16_t kCurrentReadDescriptorProcsVersion = 0;
constexpr int16_t kCurrentReadDescriptorProcsCount = 18;

struct ReadDescriptorProcs {
  int16_t readDescriptorProcsVersion;
  int16_t numReadDescriptorProcs;
  OpenReadDescriptorProc openReadDescriptorProc;
  CloseReadDescriptorProc closeReadDescriptorProc;
  GetKeyProc getKeyProc;
  // getInteger, getFloat, getUnitFloat, getBoolean, getText, getAlias,
  // getEnumerated, getClass, getSimpleReference, getObject, getCount,
  // getString, getPinnedInteger, getPinnedFloat, getPinnedUnitFloat.
  UnusedProc valueProcs[15];
};

using OpenWriteDescriptorProc = PIWriteDescriptor (*)();
using CloseWriteDescriptorProc = OSErr (*)(PIWriteDescriptor token, PIDescriptorHandle* newDescriptor);

constexpr int16_t kCurrentWriteDescriptorProcsVersion = 0;
constexpr int16_t kCurrentWriteDescriptorProcsCount = 16;

struct WriteDescriptorProcs {
  int16_t writeDescriptorProcsVersion;
  int16_t numWriteDescriptorProcs;
  OpenWriteDescriptorProc openWriteDescriptorProc;
  CloseWriteDescriptorProc closeWriteDescriptorProc;
  UnusedProc putIntegerProc;
  UnusedProc putFloatProc;
  // putUnitFloat, putBoolean, putText, putAlias, putEnumerated, putClass,
  // putSimpleReference, putObject, putCount, putString, putScopedClass,
  // putScopedObject.
  UnusedProc moreProcs[12];
};

constexpr int16_t kCurrentDescriptorParametersVersion = 0;

struct PIDescriptorParameters {
  int16_t descriptorParametersVersion;
  int16_t playInfo;
  int16_t recordInfo;
  PIDescriptorHandle descriptor;
  WriteDescriptorProcs* writeDescriptorProcs;
  ReadDescriptorProcs* readDescriptorProcs;
};

// --------------------------------------------------------- colour services --

enum ColorServicesSelector : int16_t {
  plugIncolorServicesChooseColor = 0,
  plugIncolorServicesConvertColor = 1,
};

constexpr int16_t plugIncolorServicesRGBSpace = 0;
constexpr int16_t plugIncolorServicesGraySpace = 4;

struct ColorServicesInfo {
  int32_t infoSize;
  int16_t selector;
  int16_t sourceSpace;
  int16_t resultSpace;
  HostBoolean resultGamutInfoValid;
  HostBoolean resultInGamut;
  int16_t colorComponents[4];
  union {
    const uint8_t* pickerPrompt;  // length-prefixed text
    Point16* globalSamplePoint;
    int32_t specialColorID;
  } selectorParameter;
};

using ColorServicesProc = OSErr (*)(ColorServicesInfo* info);

// ------------------------------------------------------------ suite layer --

// The host's basic suite: acquires and releases the other suites by name.
struct SPBasicSuite {
  SPErr (*AcquireSuite)(const char* name, int32_t version, const void** suite);
  SPErr (*ReleaseSuite)(const char* name, int32_t version);
  HostBoolean (*IsEqual)(const char* token1, const char* token2);
  SPErr (*AllocateBlock)(int32_t size, void** block);
  SPErr (*FreeBlock)(void* block);
  SPErr (*ReallocateBlock)(void* block, int32_t newSize, void** newblock);
  SPErr (*Undefined)();
};

// "Photoshop Handle Suite for Plug-ins", version 2.
struct PSHandleSuite2 {
  Handle (*New)(int32_t size);
  void (*Dispose)(Handle h);
  void (*SetLock)(Handle h, HostBoolean lock, char** address, HostBoolean* oldLock);
  int32_t (*GetSize)(Handle h);
  OSErr (*SetSize)(Handle h, int32_t newSize);
  void (*RecoverSpace)(int32_t size);
  void (*DisposeRegularHandle)(Handle h);
};

// "Photoshop Buffer Suite for Plug-ins", version 1.  Sizes are 32-bit.
struct PSBufferSuite1 {
  char* (*New)(uint32_t* requestedSize, uint32_t minimumSize);
  void (*Dispose)(char** buffer);
  uint32_t (*GetSize)(char* buffer);
  uint32_t (*GetSpace)();
};

// --------------------------------------------------------------- records --

// Selector 0 is given this record instead of a FormatRecord.
struct AboutRecord {
  void* platformData;      // the host's window (HWND on Windows)
  SPBasicSuite* sSPBasic;
  SPPluginRef plugInRef;
};

struct FormatRecord {
  int32_t serialNumber;
  TestAbortProc abortProc;
  ProgressProc progressProc;
  int32_t maxData;
  int32_t minDataBytes;
  int32_t maxDataBytes;
  Point16 imageSize;
  int16_t depth;
  int16_t planes;
  Fixed imageHRes;
  Fixed imageVRes;
  LookUpTable redLUT;
  LookUpTable greenLUT;
  LookUpTable blueLUT;
  void* data;
  Rect16 theRect;
  int16_t loPlane;
  int16_t hiPlane;
  int16_t colBytes;
  int32_t rowBytes;
  int32_t planeBytes;
  PlaneMap planeMap;
  HostBoolean canTranspose;
  HostBoolean needTranspose;
  OSType hostSig;
  void* platformData;
  Handle imageRsrcData;
  int32_t imageRsrcSize;
  int16_t transparencyPlane;
  int16_t transparencyMatting;
  int16_t lutCount;
  int16_t transparentIndex;
  uint16_t maxValue;
  int16_t imageMode;
  ResourceProcs* resourceProcs;
  HandleProcs* handleProcs;
  AdvanceStateProc advanceState;
  PropertyProcs* propertyProcs;
  ColorServicesProc colorServices;
  PIDescriptorParameters* descriptorParameters;
  SPBasicSuite* sSPBasic;
  SPPluginRef plugInRef;
  DataForkHandle dataFork;
  HostBoolean HostSupports32BitCoordinates;
  HostBoolean PluginUsing32BitCoordinates;
  VPoint imageSize32;
  VRect theRect32;
  // A length-prefixed text of at most 255 characters (256 bytes of room)
  // that the host shows for the result -30904; null when the host offers
  // none.
  uint8_t* errorString;
};

// The entry point every host calls.
using PluginMainProc = void (*)(int16_t selector, void* formatRecord, intptr_t* data, int16_t* result);
