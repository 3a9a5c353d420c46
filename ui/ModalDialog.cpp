#include "ui/ModalDialog.h"

namespace ui {

MessageResult ModalDialog::RunModal(InstanceSource source, const char* name, int resource) {
  (void)name;
  m_resourceId = resource;
  m_instanceSource = source;
  return m_toolkit->RunModal(*this, source, resource);
}

}  // namespace ui
