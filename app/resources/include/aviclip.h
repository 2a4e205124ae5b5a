// Short video clips in AVI files, as the windows' animations are shipped: reading a clip's
// frames (uncompressed DIB frames of 8, 24 or 32 bits, or JPEG frames) and writing a clip of
// uncompressed 24-bit frames.
#pragma once

#include <QImage>
#include <QString>

#include <vector>

namespace resources {

struct AviClip {
  std::vector<QImage> frames;  // every frame of the first video stream, in order
  int microsecondsPerFrame = 0;
};

// Reads the clip of an AVI file. False, with the clip empty, for a missing, truncated or damaged
// file, one without a video stream or frames, or one whose frames are in another format; the
// sizes are bounded, so a hostile file costs no more than a few megabytes.
bool ReadAviClip(const QString& path, AviClip& clip);
bool ReadAviClip(const QByteArray& bytes, AviClip& clip);

// The AVI file of a clip whose frames all have the first frame's size (uncompressed 24-bit
// frames, bottom-up, with an index).
QByteArray AviFileOf(const AviClip& clip);

}  // namespace resources
