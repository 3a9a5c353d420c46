// The job record of one encoding run and the engine's one entry point.
//
// A caller zeroes an EncodeJob, fills the "in" fields, and calls OptimizePng.
// The engine answers with the length of a complete PNG file in kbuf, or with
// kEncodeFailed when the job failed, was aborted through poll, or was stopped
// after the analysis (poll(2) non-zero).  The reason for a failure is the
// last text the engine passed to print.  Field order is part of the contract
// with the host module and the dialogs; do not reorder.
#pragma once

#include <cstdint>

// printf-style message sink.  Text that begins with "\r" restarts the
// console line, "\n" ends it.  The return value is not used.
typedef int (*EncodePrintFn)(const char* format, ...);

// Progress and abort callback, given a checkpoint code:
//   1  per row of every scan and pass, and every 65,536 bytes of the split
//      analysis: non-zero aborts the run;
//   2  once, after the analysis results are published: non-zero ends the run
//      there (the analysis-only call of the options dialogs);
//   0  after each compression pass has been judged: non-zero finishes with
//      the output of that pass.
typedef int (*EncodePollFn)(int checkpoint);

constexpr int kEncodeFailed = 2147483647;

struct EncodeJob {
  uint32_t* pixels;      // in: top row, 0xAARRGGBB per pixel
  int stride;            // in: bytes from one row to the next
  int width;             // in: >= 1
  int height;            // in: >= 1
  uint8_t* kbuf;         // in/out: output buffer; null lets the engine allocate it
  int kbufsize;          // in/out: capacity of kbuf; 0 lets the engine size it
  uint32_t* pal;         // in: input palette 0xAARRGGBB, may be null
  int palcount;          // in: entries in pal, 0..256
  int filter;            // in: -1 auto, 0..4 fixed, 5 adaptive per row
  int colortype;         // in: -1 auto, or 0, 2, 3, 4, 6
  int bitdepth;          // in: 1, 2, 4, 8; anything else is automatic
  int keeppal;           // in: non-zero keeps pal entry for entry ("/kp")
  uint32_t bkgd;         // in: 0 none, else 0xFFRRGGBB-style background colour
  int mintreecodes;      // in: codes given to a Huffman code with < 2 used symbols
  uint32_t* outpal;      // out: the engine's palette, valid until the next run
  int outpalcount;       // out: palette entries in use
  int outfilter;         // out: filter after the automatic choice
  int outcolortype;      // out: colour type chosen
  int outbitdepth;       // out: bit depth chosen
  int strategy;          // in: 0 "Xtreme!" .. 4 "No compression"
  int randomtables;      // in: non-zero starts the first pass from random codes
  int numblocks;         // in: > 0 splits into this many blocks (at most 1024)
  double splitthreshold; // in: split threshold in bytes when numblocks <= 0
  int chunkpre;          // in: first kept chunk written right after IHDR
  int chunkmid;          // in: first kept chunk written after PLTE
  int chunkpost;         // in: first kept chunk written after IDAT
  int chunkcount;        // in: one past the last kept chunk
  uint8_t** chunks;      // in: raw chunks (length, type, data, CRC)
  int pass;              // out: -1 split pre-pass, then 0, 1, 2, ...
  int percent;           // out: last row percentage of the pass under way
  EncodePrintFn print;   // in: message sink, may be null
  EncodePollFn poll;     // in: progress/abort callback, may be null
  int verbose;           // in: non-zero prints block boundaries, sizes, time
};

// Runs one job.  One run at a time through this entry: a second call while a
// run is under way on another thread waits for it to end.  Returns the PNG's
// length in kbuf or kEncodeFailed.
int OptimizePng(EncodeJob* gpo);

// Releases a kbuf the engine allocated.
void FreeEncodeBuffer(uint8_t* kbuf);
