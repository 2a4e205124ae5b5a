// The shipped animations decode frame by frame, damaged clips are refused, and the built user
// guide holds its sections.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>

#include "aviclip.h"
#include "clips.h"

namespace {

using resources::AviClip;

QGuiApplication& App() {
  static int argc = 1;
  static char name[] = "resources_tests";
  static char* argv[] = {name, nullptr};
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static QGuiApplication* app = new QGuiApplication(argc, argv);
  return *app;
}

TEST(Animations, TheShippedClipsDecodeFrameByFrame) {
  App();
  struct Clip {
    const char* file;
    AviClip drawn;
  };
  const Clip clips[] = {{"filecopy.avi", resources::FileCopyClip()}, {"findfile.avi", resources::FindFileClip()}};
  for (const Clip& c : clips) {
    SCOPED_TRACE(c.file);
    AviClip read;
    ASSERT_TRUE(resources::ReadAviClip(QStringLiteral(XENDORA_BIN_DIR "/") + c.file, read));
    ASSERT_EQ(read.frames.size(), c.drawn.frames.size());
    EXPECT_GE(read.frames.size(), 8u);
    EXPECT_EQ(read.microsecondsPerFrame, c.drawn.microsecondsPerFrame);
    for (std::size_t i = 0; i < read.frames.size(); ++i) {
      const QImage expected = c.drawn.frames[i].convertToFormat(QImage::Format_RGB32);
      ASSERT_EQ(read.frames[i].size(), expected.size()) << i;
      EXPECT_EQ(read.frames[i], expected) << "frame " << i;
      if (i > 0) {
        EXPECT_NE(read.frames[i], read.frames[i - 1]) << "frame " << i << " moves";
      }
    }
  }
}

TEST(Animations, DamagedClipsAreRefused) {
  App();
  const QByteArray good = resources::AviFileOf(resources::FileCopyClip());
  AviClip clip;
  ASSERT_TRUE(resources::ReadAviClip(good, clip));
  struct Case {
    const char* what;
    QByteArray bytes;
  };
  QByteArray badFormat = good;
  const qsizetype strf = badFormat.indexOf("strf");
  badFormat[strf + 8 + 16] = 'X';  // an unknown compression
  QByteArray hugeSide = good;
  hugeSide[strf + 8 + 6] = char(0x7F);  // width far beyond any clip
  QByteArray longChunk = good;
  const qsizetype frame = longChunk.indexOf("00db");
  longChunk[frame + 7] = char(0x7F);  // a frame longer than the file
  const Case cases[] = {
      {"empty", QByteArray()},
      {"not a RIFF file", QByteArray("GIF89a").append(good.mid(6))},
      {"cut in the middle of the frames", good.left(good.size() / 2)},
      {"cut in the header", good.left(100)},
      {"unknown compression", badFormat},
      {"huge frame size", hugeSide},
      {"chunk longer than the file", longChunk},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_FALSE(resources::ReadAviClip(c.bytes, clip));
    EXPECT_TRUE(clip.frames.empty());
  }
  EXPECT_FALSE(resources::ReadAviClip(QStringLiteral("/nonexistent/filecopy.avi"), clip));
}

TEST(Guide, TheBuiltGuideHoldsItsSections) {
  QProcess pdftotext;
  pdftotext.start(QStringLiteral("pdftotext"),
                  {QStringLiteral(XENDORA_BIN_DIR "/XendoraDocs.pdf"), QStringLiteral("-")});
  ASSERT_TRUE(pdftotext.waitForFinished(60000));
  ASSERT_EQ(pdftotext.exitCode(), 0);
  const QString text = QString::fromUtf8(pdftotext.readAllStandardOutput());
  const char* titles[] = {"Xendora User Guide",
                          "Starting and setting up",
                          "Drives on Linux",
                          "Adding and updating disks",
                          "Notes and categories",
                          "Finding files",
                          "Reports and labels",
                          "The preview and the designer",
                          "Passwords",
                          "Backup and compaction",
                          "Where files live"};
  for (const char* t : titles) EXPECT_TRUE(text.contains(QString::fromUtf8(t))) << t;
}

}  // namespace
