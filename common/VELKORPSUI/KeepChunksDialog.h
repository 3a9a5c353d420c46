// The Keep Chunks dialog (template 107): one row per ancillary chunk of the
// save, ticked when the chunk is kept; the chunks can be kept all, none, by
// type (the thirteen standard types and typed private ones) or row by row;
// the choice can be remembered; and the background colour written as bKGD
// can be picked with the host's colour picker.
//
// The dialog works on its own copy of the selection; its owner copies it
// back on OK, so Cancel changes nothing.
#pragma once

#include <string>
#include <string_view>

#include "common/VELKORPSUI/ChunkSelection.h"
#include "common/VELKORPSUI/KeepChunksRules.h"
#include "common/VELKORPSUI/OptionsServices.h"
#include "ui/ModalDialog.h"

class KeepChunksDialog final : public ui::ModalDialog {
 public:
  KeepChunksDialog(OptionsServices& services, const ChunkSelection& selection);

  void Init() override;
  void Command(unsigned code, int id) override;
  void Ok() override;

  // The edited selection, to be copied back on OK.
  const ChunkSelection& Selection() const { return m_selection; }

 private:
  void AddColumnsAndRows();
  int AddChunkRow(uint8_t* chunk, bool ticked);
  void SetControlsFromKeepList(const KeepList& list);
  void KeepAllOrNone(bool all);
  void EnableTypeControls(bool enabled);
  void TickRows(bool ticked);
  void TickRowsOfType(std::string_view type, bool ticked);
  std::string RowType(int row);
  uint8_t* RowChunk(int row);
  int FindBackgroundRow();
  // False, after the error box, when Private is ticked and its text is not
  // of the form cHNK,cHNK.
  bool PrivateTextAccepted();
  bool PrivateTextValidOrReport(const std::string& text);
  KeepControls ReadControls();
  void ChooseBackground();
  void ShowPickedBackground(int row, uint8_t* chunk);

  ui::WindowHandle m_chunkRows = nullptr;
  ui::WindowHandle m_privateText = nullptr;
  ChunkSelection m_selection;
  OptionsServices& m_services;
};
