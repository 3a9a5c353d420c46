#include "common/VELKORPSUI/KeepChunksDialog.h"

#include <algorithm>
#include <cstring>

#include "common/pngchunks/PngChunk.h"
#include "platform/MessageBox.h"

using chunks::PngChunk;

namespace {

constexpr int kChunkColumn = 0;
constexpr int kLengthColumn = 1;
constexpr int kContentsColumn = 2;
constexpr size_t kDescriptionSize = 256;

uint8_t ComponentByte(int16_t component) { return static_cast<uint8_t>(std::clamp<int>(component, 0, 255)); }

}  // namespace

KeepChunksDialog::KeepChunksDialog(OptionsServices& services, const ChunkSelection& selection)
    : ui::ModalDialog(services.toolkit), m_selection(selection), m_services(services) {}

void KeepChunksDialog::Init() {
  ui::DialogToolkit& toolkit = Toolkit();
  m_chunkRows = toolkit.GetControl(m_hWnd, kIdChunkRows);
  m_privateText = toolkit.GetControl(m_hWnd, kIdPrivateText);
  toolkit.ListEnableCheckBoxes(m_hWnd, kIdChunkRows);
  if (toolkit.CreateTooltips(m_hWnd)) {
    for (int id : kKeepChunksTooltipIds) toolkit.AddTooltip(m_hWnd, id);
  }
  KeepList remembered;
  remembered.Parse(m_selection.m_keepText);
  SetControlsFromKeepList(remembered);
  AddColumnsAndRows();
}

void KeepChunksDialog::AddColumnsAndRows() {
  ui::DialogToolkit& toolkit = Toolkit();
  toolkit.ListAddColumn(m_hWnd, kIdChunkRows, "Chunk", false);
  toolkit.ListAddColumn(m_hWnd, kIdChunkRows, "Length", true);
  toolkit.ListAddColumn(m_hWnd, kIdChunkRows, "Contents", false);
  toolkit.ListFitColumns(m_hWnd, kIdChunkRows);
  for (const ChunkItem& item : m_selection.m_items) {
    AddChunkRow(item.chunk, item.keep != 0);
    const PngChunk chunk(item.chunk);
    uint16_t r = 0, g = 0, b = 0;
    if (chunk.Is(chunks::kBKGD) && chunk.GetBackgroundColor(m_selection.m_sourceColorType, m_selection.m_sourceBitDepth,
                                                             m_selection.m_paletteCount, m_selection.m_palette, r, g, b)) {
      m_selection.m_background = OpaqueColor(r, g, b);
      toolkit.SetSwatchColor(m_hWnd, kIdSwatch, m_selection.m_background);
    }
  }
  toolkit.ListFitColumns(m_hWnd, kIdChunkRows);
}

int KeepChunksDialog::AddChunkRow(uint8_t* raw, bool ticked) {
  ui::DialogToolkit& toolkit = Toolkit();
  const PngChunk chunk(raw);
  const int row = toolkit.ListAddRow(m_hWnd, kIdChunkRows, raw);
  toolkit.ListSetCell(m_hWnd, kIdChunkRows, row, kChunkColumn, std::string(chunk.type.begin(), chunk.type.end()));
  toolkit.ListSetCell(m_hWnd, kIdChunkRows, row, kLengthColumn, std::to_string(chunk.m_Length));
  char text[kDescriptionSize] = "";
  const bool background = chunk.Is(chunks::kBKGD) &&
                          chunk.DescribeBackground(text, sizeof text, m_selection.m_sourceColorType,
                                                   m_selection.m_sourceBitDepth);
  if (!background && !chunk.Describe(text, sizeof text)) text[0] = '\0';
  toolkit.ListSetCell(m_hWnd, kIdChunkRows, row, kContentsColumn, text);
  toolkit.ListSetRowChecked(m_hWnd, kIdChunkRows, row, ticked);
  return row;
}

void KeepChunksDialog::SetControlsFromKeepList(const KeepList& list) {
  ui::DialogToolkit& toolkit = Toolkit();
  if (list.IsEmpty()) {
    toolkit.PressButton(m_hWnd, kIdKeepNone, false);
    return;
  }
  if (list.IsAll()) {
    toolkit.PressButton(m_hWnd, kIdKeepAll, false);
    return;
  }
  EnableTypeControls(true);
  toolkit.CheckRadio(m_hWnd, kIdKeepCustom, kIdKeepNone, kIdKeepCustom);
  for (const ChunkTypeBox& box : kChunkTypeBoxes) toolkit.SetCheck(m_hWnd, box.id, ui::ButtonState::Unchecked);
  toolkit.SetCheck(m_hWnd, kIdPrivate, ui::ButtonState::Unchecked);
  std::string privateText;
  for (const std::string& entry : list) {
    if (const std::optional<int> box = TypeBoxFor(entry)) {
      toolkit.SetCheck(m_hWnd, *box, ui::ButtonState::Checked);
    } else {
      if (!privateText.empty()) privateText += ',';
      privateText += entry;
    }
    TickRowsOfType(entry, true);
  }
  toolkit.SetText(m_hWnd, kIdPrivateText, privateText);
  if (!privateText.empty()) toolkit.SetCheck(m_hWnd, kIdPrivate, ui::ButtonState::Checked);
}

void KeepChunksDialog::Command(unsigned code, int id) {
  if (code != ui::kBnClicked) return;
  ui::DialogToolkit& toolkit = Toolkit();
  if (id == kIdKeepNone || id == kIdKeepAll) {
    KeepAllOrNone(id == kIdKeepAll);
  } else if (id == kIdKeepCustom) {
    EnableTypeControls(true);
  } else if (id == kIdSelectAll || id == kIdClearAll) {
    TickRows(id == kIdSelectAll);
  } else if (id == kIdPrivate) {
    const std::string text = toolkit.GetText(m_hWnd, kIdPrivateText);
    if (text.empty() || !PrivateTextValidOrReport(text)) return;
    const bool ticked = toolkit.IsChecked(m_hWnd, kIdPrivate);
    for (const std::string& type : SplitChunkString(text)) TickRowsOfType(type, ticked);
  } else if (id == kIdSwatch) {
    ChooseBackground();
  } else if (id == kIdRemember) {
    if (PrivateTextAccepted()) m_services.store.WriteKeepList(BuildKeepList(ReadControls()));
  } else if (id == kIdReset) {
    TickRows(false);
    KeepList remembered;
    if (m_services.store.ReadKeepList(remembered)) {
      SetControlsFromKeepList(remembered);
    } else {
      toolkit.PressButton(m_hWnd, kIdKeepNone, false);
    }
  } else if (id == kIdKeepHelp) {
    if (m_services.openHelp) m_services.openHelp(m_hWnd, kKeepChunksHelpTopic);
  } else {
    for (const ChunkTypeBox& box : kChunkTypeBoxes) {
      if (box.id == id) TickRowsOfType(std::string(box.type.begin(), box.type.end()), toolkit.IsChecked(m_hWnd, id));
    }
  }
}

void KeepChunksDialog::Ok() {
  if (!PrivateTextAccepted()) return;
  ui::DialogToolkit& toolkit = Toolkit();
  std::vector<ChunkItem> items;
  bool backgroundKept = false;
  const int rows = toolkit.ListRowCount(m_hWnd, kIdChunkRows);
  for (int row = 0; row < rows; ++row) {
    uint8_t* chunk = RowChunk(row);
    const auto held = std::find_if(m_selection.m_items.begin(), m_selection.m_items.end(),
                                   [&](const ChunkItem& item) { return item.chunk == chunk; });
    const chunks::ChunkGroup group = held != m_selection.m_items.end() ? held->group : chunks::AfterImageData;
    const bool ticked = toolkit.ListIsRowChecked(m_hWnd, kIdChunkRows, row);
    if (ticked && PngChunk(chunk).Is(chunks::kBKGD)) backgroundKept = true;
    items.push_back({chunk, group, static_cast<uint8_t>(ticked ? 1 : 0)});
  }
  m_selection.m_items = std::move(items);
  if (!backgroundKept) m_selection.m_background = 0;
  m_selection.m_keepText = BuildKeepList(ReadControls()).Serialize();
  toolkit.EndDialog(m_hWnd, ui::kIdOk);
}

void KeepChunksDialog::KeepAllOrNone(bool all) {
  ui::DialogToolkit& toolkit = Toolkit();
  EnableTypeControls(false);
  const ui::ButtonState state = all ? ui::ButtonState::Checked : ui::ButtonState::Unchecked;
  for (const ChunkTypeBox& box : kChunkTypeBoxes) toolkit.SetCheck(m_hWnd, box.id, state);
  toolkit.SetCheck(m_hWnd, kIdPrivate, state);
  TickRows(all);
}

void KeepChunksDialog::EnableTypeControls(bool enabled) {
  ui::DialogToolkit& toolkit = Toolkit();
  for (const ChunkTypeBox& box : kChunkTypeBoxes) toolkit.Enable(m_hWnd, box.id, enabled);
  for (int id : {kIdPrivate, kIdPrivateText, kIdSwatch}) toolkit.Enable(m_hWnd, id, enabled);
}

void KeepChunksDialog::TickRows(bool ticked) {
  const int rows = Toolkit().ListRowCount(m_hWnd, kIdChunkRows);
  for (int row = 0; row < rows; ++row) Toolkit().ListSetRowChecked(m_hWnd, kIdChunkRows, row, ticked);
}

void KeepChunksDialog::TickRowsOfType(std::string_view type, bool ticked) {
  const int rows = Toolkit().ListRowCount(m_hWnd, kIdChunkRows);
  for (int row = 0; row < rows; ++row) {
    if (RowType(row) == type) Toolkit().ListSetRowChecked(m_hWnd, kIdChunkRows, row, ticked);
  }
}

uint8_t* KeepChunksDialog::RowChunk(int row) {
  // Rows carry the selection's chunks, which the dialog may change (a picked
  // background); the list view only stores them.
  return static_cast<uint8_t*>(const_cast<void*>(Toolkit().ListGetRowData(m_hWnd, kIdChunkRows, row)));
}

std::string KeepChunksDialog::RowType(int row) {
  const uint8_t* chunk = RowChunk(row);
  return chunk == nullptr ? std::string() : std::string(reinterpret_cast<const char*>(chunk + 4), 4);
}

int KeepChunksDialog::FindBackgroundRow() {
  const int rows = Toolkit().ListRowCount(m_hWnd, kIdChunkRows);
  for (int row = 0; row < rows; ++row) {
    if (RowType(row) == "bKGD") return row;
  }
  return -1;
}

bool KeepChunksDialog::PrivateTextAccepted() {
  if (!Toolkit().IsChecked(m_hWnd, kIdPrivate)) return true;
  return PrivateTextValidOrReport(Toolkit().GetText(m_hWnd, kIdPrivateText));
}

bool KeepChunksDialog::PrivateTextValidOrReport(const std::string& text) {
  if (CheckChunkString(text)) return true;
  platform::ShowMessageBox(kChunkStringError, kChunkStringErrorTitle);
  Toolkit().SetFocus(m_hWnd, kIdPrivateText);
  return false;
}

KeepControls KeepChunksDialog::ReadControls() {
  ui::DialogToolkit& toolkit = Toolkit();
  KeepControls controls;
  controls.keepAll = toolkit.IsChecked(m_hWnd, kIdKeepAll);
  controls.keepNone = toolkit.IsChecked(m_hWnd, kIdKeepNone);
  for (size_t i = 0; i < kChunkTypeBoxes.size(); ++i) {
    controls.typeTicked[i] = toolkit.IsChecked(m_hWnd, kChunkTypeBoxes[i].id);
  }
  controls.privateTicked = toolkit.IsChecked(m_hWnd, kIdPrivate);
  controls.privateText = toolkit.GetText(m_hWnd, kIdPrivateText);
  return controls;
}

void KeepChunksDialog::ChooseBackground() {
  ColorServices* colors = m_services.colors;
  if (colors == nullptr) return;
  int row = FindBackgroundRow();
  uint32_t start = 0xFFFFFFFFu;
  uint16_t r = 0, g = 0, b = 0;
  if ((m_selection.m_background >> 24) != 0) {
    start = m_selection.m_background;
  } else if (row >= 0) {
    if (PngChunk(RowChunk(row)).GetBackgroundColor(m_selection.m_sourceColorType, m_selection.m_sourceBitDepth,
                                                   m_selection.m_paletteCount, m_selection.m_palette, r, g, b)) {
      start = OpaqueColor(r, g, b);
    }
  } else if (uint8_t* white = m_selection.SetBackground(255, 255, 255)) {
    row = AddChunkRow(white, false);
  }

  const int requested = m_selection.m_grey ? ColorServices::kGreySpace : ColorServices::kRgbSpace;
  int space = requested;
  ColorServices::Components colour = {static_cast<int16_t>((start >> 16) & 0xFF),
                                      static_cast<int16_t>((start >> 8) & 0xFF), static_cast<int16_t>(start & 0xFF), 0};
  if (!colors->ChooseColor(kBackgroundPrompt, space, colour)) return;
  const int16_t grey = colour[0];
  if (space != ColorServices::kRgbSpace && !colors->ConvertToRgb(space, colour) &&
      requested != ColorServices::kGreySpace) {
    return;
  }
  if (requested == ColorServices::kGreySpace) colour = {grey, grey, grey, 0};
  uint8_t* chunk = m_selection.SetBackground(ComponentByte(colour[0]), ComponentByte(colour[1]), ComponentByte(colour[2]));
  if (chunk == nullptr) return;
  ShowPickedBackground(row, chunk);
}

void KeepChunksDialog::ShowPickedBackground(int row, uint8_t* chunk) {
  ui::DialogToolkit& toolkit = Toolkit();
  toolkit.SetSwatchColor(m_hWnd, kIdSwatch, m_selection.m_background);
  if (row < 0) row = AddChunkRow(chunk, true);
  char text[kDescriptionSize] = "";
  PngChunk(chunk).DescribeBackground(text, sizeof text, 2, 8);
  toolkit.ListSetCell(m_hWnd, kIdChunkRows, row, kContentsColumn, text);
  toolkit.ListSetRowChecked(m_hWnd, kIdChunkRows, row, true);
  toolkit.ListSetRowData(m_hWnd, kIdChunkRows, row, chunk);
}
