// The rules of the Keep Chunks dialog that do not need a window: its control
// ids, the thirteen standard ancillary types with their check boxes, the
// check of the private chunk text, and building a keep list from what the
// controls show.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/VELKORPSUI/KeepList.h"
#include "common/pngchunks/ChunkTypes.h"

inline constexpr int kKeepChunksDialogTemplate = 107;

inline constexpr int kIdKeepHelp = 9;
inline constexpr int kIdRemember = 1073;
inline constexpr int kIdChunkRows = 1075;
inline constexpr int kIdSelectAll = 1077;
inline constexpr int kIdClearAll = 1078;
inline constexpr int kIdSwatch = 1091;
inline constexpr int kIdPrivate = 1094;
inline constexpr int kIdPrivateText = 1095;
inline constexpr int kIdReset = 1098;
inline constexpr int kIdTypesGroup = 1099;
inline constexpr int kIdKeepCustom = 1100;
inline constexpr int kIdKeepAll = 1101;
inline constexpr int kIdKeepNone = 1102;

inline constexpr char kKeepChunksHelpTopic[] = "KeepChunks.htm";
inline constexpr char kChunkStringError[] = "Error in Chunk String.\nFormat is cHNK,cHNK.";
inline constexpr char kChunkStringErrorTitle[] = "Error in Chunk String";
inline constexpr char kBackgroundPrompt[] = "Choose Background Color (bKGD)";

// The controls that show a tooltip, their text being the string-table entry
// of the same number.
inline constexpr std::array<int, 6> kKeepChunksTooltipIds = {kIdKeepNone, kIdKeepAll, kIdKeepCustom,
                                                             kIdRemember, kIdReset,    kIdPrivateText};

struct ChunkTypeBox {
  int id;
  chunks::ChunkType type;
};

// The standard types in the order a keep list is built from them; any other
// type is a private one for this dialog.
inline constexpr std::array<ChunkTypeBox, 13> kChunkTypeBoxes = {{
    {1084, chunks::kICCP},
    {1079, chunks::kPHYS},
    {1082, chunks::kGAMA},
    {1083, chunks::kCHRM},
    {1080, chunks::kSRGB},
    {1088, chunks::kITXT},
    {1089, chunks::kTEXT},
    {1090, chunks::kZTXT},
    {1076, chunks::kBKGD},
    {1081, chunks::kSBIT},
    {1085, chunks::kSPLT},
    {1086, chunks::kHIST},
    {1087, chunks::kTIME},
}};

// The check box of a standard type, or nothing for a private type.
std::optional<int> TypeBoxFor(std::string_view type);

// The four-character pieces of a private chunk text ("vpAg,gIFx"); empty
// pieces are skipped.
std::vector<std::string> SplitChunkString(std::string_view text);

// Whether a private chunk text has the form "cHNK,cHNK": every piece between
// commas (empty ones skipped) exactly four characters.  An empty text passes.
bool CheckChunkString(std::string_view text);

// What the type controls show, read from them.
struct KeepControls {
  bool keepAll = false;
  bool keepNone = false;
  std::array<bool, 13> typeTicked{};  // in kChunkTypeBoxes order
  bool privateTicked = false;
  std::string privateText;
};

// Keep All gives keep-all, Keep None an empty list; otherwise the ticked
// types in table order, then the private text as one more entry when
// Private is ticked and the text is not empty.
KeepList BuildKeepList(const KeepControls& controls);
