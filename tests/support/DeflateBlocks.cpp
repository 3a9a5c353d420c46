#include "DeflateBlocks.h"

#include <zlib.h>

namespace oracle {

bool DeflateBlockEnds(const std::vector<uint8_t>& zlibStream, std::vector<size_t>& ends) {
  ends.clear();
  z_stream zs{};
  if (inflateInit(&zs) != Z_OK) return false;
  zs.next_in = const_cast<Bytef*>(zlibStream.data());
  zs.avail_in = uInt(zlibStream.size());
  std::vector<uint8_t> out(1 << 16);
  bool headerDone = false;
  int status = Z_OK;
  while (status == Z_OK) {
    zs.next_out = out.data();
    zs.avail_out = uInt(out.size());
    // Z_BLOCK returns after the zlib header and after each end-of-block
    // code, the last block's included, with bit 128 of data_type set.
    status = inflate(&zs, Z_BLOCK);
    if (status == Z_OK && (zs.data_type & 128)) {
      if (headerDone) ends.push_back(zs.total_out);
      headerDone = true;
    }
  }
  inflateEnd(&zs);
  return status == Z_STREAM_END;
}

}  // namespace oracle
