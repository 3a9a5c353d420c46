#include "support/LibjpegWriter.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

namespace oracle {

namespace {

// The entry points we use, looked up once per call.
struct Libjpeg {
  void* handle = nullptr;
  decltype(&jpeg_std_error) stdError = nullptr;
  decltype(&jpeg_CreateCompress) createCompress = nullptr;
  decltype(&jpeg_mem_dest) memDest = nullptr;
  decltype(&jpeg_set_defaults) setDefaults = nullptr;
  decltype(&jpeg_set_colorspace) setColorspace = nullptr;
  decltype(&jpeg_set_quality) setQuality = nullptr;
  decltype(&jpeg_simple_progression) simpleProgression = nullptr;
  decltype(&jpeg_start_compress) startCompress = nullptr;
  decltype(&jpeg_write_scanlines) writeScanlines = nullptr;
  decltype(&jpeg_finish_compress) finishCompress = nullptr;
  decltype(&jpeg_destroy_compress) destroyCompress = nullptr;

  Libjpeg() {
    handle = dlopen("libjpeg.so.62", RTLD_NOW | RTLD_LOCAL);
    if (!handle) return;
    Bind(stdError, "jpeg_std_error");
    Bind(createCompress, "jpeg_CreateCompress");
    Bind(memDest, "jpeg_mem_dest");
    Bind(setDefaults, "jpeg_set_defaults");
    Bind(setColorspace, "jpeg_set_colorspace");
    Bind(setQuality, "jpeg_set_quality");
    Bind(simpleProgression, "jpeg_simple_progression");
    Bind(startCompress, "jpeg_start_compress");
    Bind(writeScanlines, "jpeg_write_scanlines");
    Bind(finishCompress, "jpeg_finish_compress");
    Bind(destroyCompress, "jpeg_destroy_compress");
  }
  ~Libjpeg() {
    if (handle) dlclose(handle);
  }
  template <typename F>
  void Bind(F& f, const char* name) {
    f = reinterpret_cast<F>(dlsym(handle, name));
    if (!f) ok = false;
  }
  bool ok = true;
  bool Ready() const { return handle && ok; }
};

}  // namespace

bool LibjpegAvailable() { return Libjpeg().Ready(); }

std::vector<uint8_t> WriteJpegWithLibjpeg(const std::vector<uint8_t>& rgb, int width, int height,
                                          const JpegWriteOptions& options) {
  Libjpeg lib;
  if (!lib.Ready()) return {};
  jpeg_compress_struct cinfo;
  jpeg_error_mgr err;
  cinfo.err = lib.stdError(&err);  // errors end the process, as a test fault should
  lib.createCompress(&cinfo, JPEG_LIB_VERSION, sizeof(cinfo));
  unsigned char* out = nullptr;
  unsigned long outSize = 0;
  lib.memDest(&cinfo, &out, &outSize);
  cinfo.image_width = static_cast<JDIMENSION>(width);
  cinfo.image_height = static_cast<JDIMENSION>(height);
  cinfo.input_components = options.components;
  cinfo.in_color_space = options.components == 1 ? JCS_GRAYSCALE : options.components == 4 ? JCS_CMYK : JCS_RGB;
  lib.setDefaults(&cinfo);
  if (options.components == 3 && options.rgbColourSpace) lib.setColorspace(&cinfo, JCS_RGB);
  if (options.components == 4 && options.ycck) lib.setColorspace(&cinfo, JCS_YCCK);
  lib.setQuality(&cinfo, options.quality, TRUE);
  for (int c = 0; c < options.components; ++c) {
    cinfo.comp_info[c].h_samp_factor = options.h[c];
    cinfo.comp_info[c].v_samp_factor = options.v[c];
  }
  if (options.progressive) lib.simpleProgression(&cinfo);
  cinfo.restart_interval = options.restartInterval;
  cinfo.optimize_coding = options.optimizeHuffman ? TRUE : FALSE;
  lib.startCompress(&cinfo, TRUE);
  std::vector<uint8_t> row(static_cast<size_t>(width) * options.components);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const uint8_t* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
      const uint8_t channels[4] = {p[0], p[1], p[2], static_cast<uint8_t>(p[0] ^ p[1])};
      for (int c = 0; c < options.components; ++c) row[x * options.components + c] = channels[c];
    }
    JSAMPROW rows[1] = {row.data()};
    lib.writeScanlines(&cinfo, rows, 1);
  }
  lib.finishCompress(&cinfo);
  std::vector<uint8_t> file(out, out + outSize);
  lib.destroyCompress(&cinfo);
  std::free(out);
  return file;
}

}  // namespace oracle
