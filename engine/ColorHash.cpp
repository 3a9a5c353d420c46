#include "engine/ColorHash.h"

void ColorHash::Clear(const uint32_t* palette) {
  m_palette = palette;
  for (int32_t& h : m_head) h = -1;
  for (int32_t& l : m_link) l = -1;
}

void ColorHash::Insert(uint32_t v, int index) {
  const int b = Bucket(v);
  m_link[index] = m_head[b];
  m_head[b] = index;
}

int ColorHash::Lookup(uint32_t v) const {
  for (int i = m_head[Bucket(v)]; i >= 0; i = m_link[i]) {
    if (m_palette[i] == v) return i;
  }
  return -1;
}
