// The image decoding library: recognises an image held in memory by its first
// bytes (PNG, JPEG, GIF, CEL, BMP, PCX, DDS, TGA — tested in that order, first
// match wins), answers its size from the header, and renders it into a
// caller-owned frame of 32-bit pixels 0xAARRGGBB (bytes B, G, R, A in memory,
// alpha 255 opaque).  Rendering writes only frame pixels the image covers and
// that lie inside the frame; everything else is left as it was.
//
// A small stream layer reads files into memory: a plain file, a file the
// caller already opened, or a member (stored or deflated) of a registered ZIP
// archive.  Archive members are named with a leading "|"; a name without it is
// tried as a plain file first and then among the members.  Member names match
// whatever their letter case and whether they are written with "/" or "\".
//
// Threads: ImageGetSize and ImageRender keep all their state in the call, so
// any number of them may run at once.  The stream layer and the archive index
// live in a StreamContext; the free Stream*/Archive* functions and
// ImageLoadFile use a default context that belongs to the calling thread
// (thread_local), so they are safe on several threads but an archive
// registered on one thread is not seen by another.  Code that wants to share
// or pass a stream explicitly uses its own StreamContext.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

// Sets width and height to 0, then to the image's size when the header is
// recognised.  Data shorter than 16 bytes or not recognised gives 0 x 0.
void ImageGetSize(const uint8_t* data, size_t length, int* width, int* height);

// Renders the image with its top-left corner at frame position (x, y).
// stride is the distance between frame rows in bytes.  Returns 0, or -1 when
// the data is not recognised or its decoder rejects it; pixels written before
// a failure stay written.
int ImageRender(const uint8_t* data, size_t length, uint32_t* frame, int stride, int frameWidth,
                int frameHeight, int x, int y);

class StreamContext;

// Reads the named file (see StreamOpen) and renders it into a frame of its own
// size allocated with std::malloc (free it with ImageFreeFrame); stride is
// width * 4.  Returns 0, or -1 with *frame null on any failure.
int ImageLoadFile(const char* name, uint32_t** frame, int* stride, int* width, int* height);
int ImageLoadFile(StreamContext& context, const char* name, uint32_t** frame, int* stride, int* width,
                  int* height);
void ImageFreeFrame(uint32_t* frame);

// One current stream plus the index of registered ZIP archives.
class StreamContext {
 public:
  StreamContext();
  ~StreamContext();
  StreamContext(const StreamContext&) = delete;
  StreamContext& operator=(const StreamContext&) = delete;

  // Makes an already opened file the current stream: stored, position 0,
  // length = the file's length.  The caller keeps ownership: Close does not
  // close it.  Returns 0, or -1 when file is null or its length is unknown.
  int Attach(FILE* file);
  // Opens a plain file or an archive member (see the header comment).
  // Returns 0 or -1.  Any previous stream is closed first.
  int Open(const char* name);
  // Reads up to n bytes at the position; returns the count (0 at the end),
  // or -1 when there is no stream or a deflated member is corrupt.
  long long Read(void* buffer, size_t n);
  long long Length() const;  // -1 without a stream
  // origin 0 start, 1 current, 2 end; the result is clamped to 0..length.
  // Returns the new position, or -1 without a stream.
  long long Seek(long long offset, int origin);
  long long Tell() const;  // -1 without a stream
  int GetByte();           // -1 at the end
  bool AtEnd() const;      // true without a stream
  void Close();

  // Lists the directory entries matching pattern ("*" and "?" in its last
  // component), then the registered archive members matching the whole
  // pattern, returned with a leading "|".  Names compare case-insensitively
  // with "/" equal to "\".  Null when there is nothing (more).
  const char* FindFirst(const char* pattern);
  const char* FindNext();

  // Registers a ZIP archive's members.  Returns 0, or -1 when the file cannot
  // be opened, its structure is broken or memory runs out (nothing of it is
  // registered then).
  int AddArchive(const char* fileName);
  void ClearArchives();

 private:
  struct Impl;
  std::unique_ptr<Impl> m_impl;
};

// The calling thread's default stream context.
StreamContext& DefaultStreamContext();

int StreamAttach(FILE* file);
int StreamOpen(const char* name);
long long StreamRead(void* buffer, size_t n);
long long StreamLength();
long long StreamSeek(long long offset, int origin);
long long StreamTell();
int StreamGetByte();
bool StreamAtEnd();
void StreamClose();
const char* StreamFindFirst(const char* pattern);
const char* StreamFindNext();
int ArchiveAdd(const char* fileName);
void ArchiveClear();
