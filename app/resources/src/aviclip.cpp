// Reading and writing AVI clips: the RIFF chunks of the header, the video stream's format and
// the frames of the "movi" list.
#include "aviclip.h"

#include <QFile>

#include <cstdint>
#include <cstring>
#include <string_view>

namespace resources {

namespace {

constexpr std::uint32_t kMaxSide = 2048;
constexpr std::size_t kMaxFrames = 2000;
constexpr std::size_t kMaxPixels = 16u << 20;  // over all frames
constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kAvifHasIndex = 0x10;
constexpr std::uint32_t kAviifKeyframe = 0x10;

std::uint32_t U32(const char* p) {
  const auto* b = reinterpret_cast<const unsigned char*>(p);
  return std::uint32_t{b[0]} | std::uint32_t{b[1]} << 8 | std::uint32_t{b[2]} << 16 | std::uint32_t{b[3]} << 24;
}
std::uint16_t U16(const char* p) {
  const auto* b = reinterpret_cast<const unsigned char*>(p);
  return static_cast<std::uint16_t>(b[0] | b[1] << 8);
}
bool IsFourCc(const char* p, std::string_view code) { return std::memcmp(p, code.data(), 4) == 0; }

// What the header lists say about the first video stream.
struct VideoFormat {
  bool found = false;
  std::uint32_t streamIndex = 0;
  std::int32_t width = 0, height = 0;
  std::uint16_t bitCount = 0;
  std::uint32_t compression = 0;
  std::vector<QRgb> palette;
};

class Reader {
 public:
  Reader(const QByteArray& bytes, AviClip& clip)
      : data_(bytes.constData()), size_(std::size_t(bytes.size())), clip_(clip) {}

  bool Read() {
    if (size_ < 12 || !IsFourCc(data_, "RIFF") || !IsFourCc(data_ + 8, "AVI ")) return false;
    const std::size_t end = std::min<std::size_t>(size_, 8 + std::size_t{U32(data_ + 4)});
    if (!Chunks(12, end, 0)) return false;
    return format_.found && !clip_.frames.empty();
  }

 private:
  // The chunks between begin and end; lists are entered (to a small depth).
  bool Chunks(std::size_t begin, std::size_t end, int depth) {
    std::size_t pos = begin;
    while (pos + 8 <= end) {
      const char* id = data_ + pos;
      const std::size_t length = U32(data_ + pos + 4);
      const std::size_t body = pos + 8;
      if (length > end - body) return false;  // truncated
      if (IsFourCc(id, "LIST")) {
        if (length < 4 || depth > 4) return false;
        const char* type = data_ + body;
        if (IsFourCc(type, "strl")) ++streams_;
        if (!Chunks(body + 4, body + length, depth + 1)) return false;
      } else if (IsFourCc(id, "avih")) {
        if (length < 56) return false;
        clip_.microsecondsPerFrame = static_cast<int>(std::min<std::uint32_t>(U32(data_ + body), 10'000'000));
      } else if (IsFourCc(id, "strh")) {
        if (length < 8) return false;
        currentIsVideo_ = IsFourCc(data_ + body, "vids") && !format_.found;
      } else if (IsFourCc(id, "strf")) {
        if (currentIsVideo_ && !Format(body, length)) return false;
        currentIsVideo_ = false;
      } else if (format_.found && length > 0 && IsFrameChunk(id)) {
        if (!Frame(body, length)) return false;
      }
      pos = body + length + (length & 1);
    }
    return true;
  }

  // "00db" / "00dc": a frame of stream 00.
  bool IsFrameChunk(const char* id) const {
    const char digits[2] = {char('0' + format_.streamIndex / 10 % 10), char('0' + format_.streamIndex % 10)};
    return id[0] == digits[0] && id[1] == digits[1] && id[2] == 'd' && (id[3] == 'b' || id[3] == 'c');
  }

  bool Format(std::size_t body, std::size_t length) {
    if (length < 40) return false;
    const char* h = data_ + body;
    const std::uint32_t headerSize = U32(h);
    format_.width = static_cast<std::int32_t>(U32(h + 4));
    format_.height = static_cast<std::int32_t>(U32(h + 8));
    format_.bitCount = U16(h + 14);
    format_.compression = U32(h + 16);
    const std::int64_t height = format_.height < 0 ? -std::int64_t{format_.height} : format_.height;
    if (format_.width <= 0 || height <= 0 || std::uint32_t(format_.width) > kMaxSide || height > kMaxSide) return false;
    const bool jpeg = std::memcmp(h + 16, "MJPG", 4) == 0;
    if (!jpeg) {
      if (format_.compression != kBiRgb) return false;
      if (format_.bitCount != 8 && format_.bitCount != 24 && format_.bitCount != 32) return false;
    }
    if (format_.bitCount == 8 && !jpeg) {
      std::uint32_t colours = U32(h + 32);
      if (colours == 0 || colours > 256) colours = 256;
      if (headerSize < 40 || headerSize > length || (length - headerSize) / 4 < colours) return false;
      for (std::uint32_t i = 0; i < colours; ++i) {
        const auto* q = reinterpret_cast<const unsigned char*>(h + headerSize + 4 * i);
        format_.palette.push_back(qRgb(q[2], q[1], q[0]));
      }
    }
    format_.streamIndex = streams_ > 0 ? streams_ - 1 : 0;
    format_.found = true;
    return true;
  }

  bool Frame(std::size_t body, std::size_t length) {
    const std::int32_t w = format_.width;
    const bool bottomUp = format_.height > 0;
    const std::int32_t h = bottomUp ? format_.height : -format_.height;
    if (clip_.frames.size() >= kMaxFrames || pixels_ + std::size_t(w) * std::size_t(h) > kMaxPixels) return false;
    QImage image;
    if (format_.compression != kBiRgb) {
      if (!image.loadFromData(reinterpret_cast<const uchar*>(data_ + body), static_cast<int>(length), "JPEG"))
        return false;
      if (image.width() != w || image.height() != h) return false;
      image = image.convertToFormat(QImage::Format_RGB32);
    } else {
      const std::size_t stride = ((std::size_t(w) * format_.bitCount + 31) / 32) * 4;
      if (length < stride * std::size_t(h)) return false;
      image = QImage(w, h, QImage::Format_RGB32);
      const int bytesPerPixel = format_.bitCount / 8;
      for (std::int32_t y = 0; y < h; ++y) {
        const auto* row =
            reinterpret_cast<const unsigned char*>(data_ + body + stride * std::size_t(bottomUp ? h - 1 - y : y));
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (std::int32_t x = 0; x < w; ++x) {
          const unsigned char* p = row + std::size_t(x) * bytesPerPixel;
          if (bytesPerPixel == 1)
            out[x] = p[0] < format_.palette.size() ? format_.palette[p[0]] : qRgb(0, 0, 0);
          else
            out[x] = qRgb(p[2], p[1], p[0]);
        }
      }
    }
    pixels_ += std::size_t(w) * std::size_t(h);
    clip_.frames.push_back(std::move(image));
    return true;
  }

  const char* data_;
  std::size_t size_;
  AviClip& clip_;
  VideoFormat format_;
  std::uint32_t streams_ = 0;
  bool currentIsVideo_ = false;
  std::size_t pixels_ = 0;
};

void Put32(QByteArray& out, std::uint32_t v) {
  const char b[4] = {char(v & 0xFF), char(v >> 8 & 0xFF), char(v >> 16 & 0xFF), char(v >> 24 & 0xFF)};
  out.append(b, 4);
}
void Put16(QByteArray& out, std::uint16_t v) {
  const char b[2] = {char(v & 0xFF), char(v >> 8 & 0xFF)};
  out.append(b, 2);
}
void PutId(QByteArray& out, const char* id) { out.append(id, 4); }

// Opens a chunk (or a list, with its type); Close writes its length.
qsizetype Open(QByteArray& out, const char* id, const char* listType = nullptr) {
  PutId(out, id);
  const qsizetype at = out.size();
  Put32(out, 0);
  if (listType) PutId(out, listType);
  return at;
}
void Close(QByteArray& out, qsizetype at) {
  const std::uint32_t length = static_cast<std::uint32_t>(out.size() - at - 4);
  QByteArray size;
  Put32(size, length);
  out.replace(at, 4, size);
  if (length & 1) out.append('\0');
}

}  // namespace

bool ReadAviClip(const QByteArray& bytes, AviClip& clip) {
  clip = AviClip();
  Reader reader(bytes, clip);
  if (reader.Read()) return true;
  clip = AviClip();
  return false;
}

bool ReadAviClip(const QString& path, AviClip& clip) {
  clip = AviClip();
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly) || file.size() > (64 << 20)) return false;
  return ReadAviClip(file.readAll(), clip);
}

QByteArray AviFileOf(const AviClip& clip) {
  QByteArray out;
  if (clip.frames.empty()) return out;
  const int w = clip.frames.front().width(), h = clip.frames.front().height();
  const std::uint32_t stride = static_cast<std::uint32_t>(((w * 24 + 31) / 32) * 4);
  const std::uint32_t frameBytes = stride * static_cast<std::uint32_t>(h);
  const auto count = static_cast<std::uint32_t>(clip.frames.size());
  const std::uint32_t usPerFrame =
      static_cast<std::uint32_t>(clip.microsecondsPerFrame > 0 ? clip.microsecondsPerFrame : 100000);

  const qsizetype riff = Open(out, "RIFF", "AVI ");
  const qsizetype hdrl = Open(out, "LIST", "hdrl");
  const qsizetype avih = Open(out, "avih");
  for (std::uint32_t v : {usPerFrame, frameBytes * (1000000 / usPerFrame + 1), 0u, kAvifHasIndex, count, 0u, 1u,
                          frameBytes, std::uint32_t(w), std::uint32_t(h), 0u, 0u, 0u, 0u})
    Put32(out, v);
  Close(out, avih);
  const qsizetype strl = Open(out, "LIST", "strl");
  const qsizetype strh = Open(out, "strh");
  PutId(out, "vids");
  PutId(out, "DIB ");
  // Flags, priority and language (16 bits each), initial frames, scale and rate (the frame
  // rate is rate / scale), start, length, buffer size, quality, sample size; then the frame
  // rectangle.
  for (std::uint32_t v : {0u, 0u, 0u, usPerFrame, 1000000u, 0u, count, frameBytes, 0xFFFFFFFFu, 0u}) Put32(out, v);
  Put16(out, 0);
  Put16(out, 0);
  Put16(out, static_cast<std::uint16_t>(w));
  Put16(out, static_cast<std::uint16_t>(h));
  Close(out, strh);
  const qsizetype strf = Open(out, "strf");
  for (std::uint32_t v : {40u, std::uint32_t(w), std::uint32_t(h)}) Put32(out, v);
  Put16(out, 1);
  Put16(out, 24);
  for (std::uint32_t v : {kBiRgb, frameBytes, 0u, 0u, 0u, 0u}) Put32(out, v);
  Close(out, strf);
  Close(out, strl);
  Close(out, hdrl);

  const qsizetype movi = Open(out, "LIST", "movi");
  const qsizetype moviData = movi + 4;  // index offsets count from the list's type
  std::vector<std::uint32_t> offsets;
  for (const QImage& frame : clip.frames) {
    const QImage rgb = frame.convertToFormat(QImage::Format_RGB32).scaled(w, h);
    offsets.push_back(static_cast<std::uint32_t>(out.size() - moviData));
    const qsizetype chunk = Open(out, "00db");
    QByteArray row(static_cast<qsizetype>(stride), '\0');
    for (int y = h - 1; y >= 0; --y) {
      const auto* in = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
      for (int x = 0; x < w; ++x) {
        row[3 * x] = char(qBlue(in[x]));
        row[3 * x + 1] = char(qGreen(in[x]));
        row[3 * x + 2] = char(qRed(in[x]));
      }
      out.append(row);
    }
    Close(out, chunk);
  }
  Close(out, movi);
  const qsizetype idx1 = Open(out, "idx1");
  for (std::uint32_t offset : offsets) {
    PutId(out, "00db");
    Put32(out, kAviifKeyframe);
    Put32(out, offset);
    Put32(out, frameBytes);
  }
  Close(out, idx1);
  Close(out, riff);
  return out;
}

}  // namespace resources
