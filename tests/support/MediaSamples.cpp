#include "tests/support/MediaSamples.h"

#include <QDir>
#include <QFileInfo>
#include <QMap>
#include <QFile>
#include <QLockFile>
#include <QProcess>
#include <QStandardPaths>
#include <memory>
#include <vector>

#include "tests/support/TestUtil.h"

namespace oxtest {

namespace {
// Bump when the samples change, so an older set in the build folder is made again.
const char kStamp[] = "ready-7";

// Runs every ffmpeg command at once (each spends most of its time starting up); true when all succeed. They start
// as the tests' other programs do, so a sanitized test process keeps seeing its own locks afterwards.
bool ffmpeg(const QList<QStringList>& commands) {
  std::vector<std::unique_ptr<QProcess>> runs;
  bool ok = true;
  for (const QStringList& args : commands) {
    runs.emplace_back();
    ok = startProcess(runs.back(), QStringLiteral("ffmpeg"),
                      QStringList{"-hide_banner", "-loglevel", "error", "-y"} + args) && ok;
  }
  for (auto& p : runs) {
    if (!p->waitForFinished(60000)) {
      p->kill();
      p->waitForFinished();
      ok = false;
    }
    ok = ok && p->exitStatus() == QProcess::NormalExit && p->exitCode() == 0;
  }
  return ok;
}

bool generate(const MediaSamples& s) {
  const QStringList h264{"-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p"};
  const QStringList lavfi{"-f", "lavfi", "-i"};
  QFile srt(s.subtitles);
  if (!srt.open(QIODevice::WriteOnly) ||
      srt.write("1\n00:00:00,000 --> 00:00:01,000\nFirst cue\n\n2\n00:00:01,000 --> 00:00:02,000\nSecond cue\n") <= 0)
    return false;
  srt.close();
  QList<QStringList> commands;
  for (const QString& preview : s.previews) {
    // Each preview's coding and container follow from its name, as ffmpeg picks them, but for these.
    static const QMap<QString, QStringList> kOptions{
        {"opus.webm", {"-c:a", "libopus"}},         {"aac.mka", {"-c:a", "aac"}},
        {"48k.eac3", {"-ar", "48000"}},             {"rf64.wav", {"-rf64", "always"}},
        {"untagged.mp3", {"-id3v2_version", "0"}},  {"22k-untagged.mp3", {"-ar", "22050", "-id3v2_version", "0"}},
        {"vorbis.ogg", {"-c:a", "libvorbis"}},      {"alac.caf", {"-c:a", "alac"}}};
    if (preview != s.tone)
      commands << lavfi + QStringList{"sine=frequency=550:duration=1"} +
                      kOptions.value(QFileInfo(preview).fileName().section('-', 1)) + QStringList{preview};
  }
  const bool made = ffmpeg(commands + QList<QStringList>{
      lavfi + QStringList{"testsrc=size=320x240:rate=25:duration=2"} + lavfi +
          QStringList{"sine=frequency=440:duration=2"} + h264 + QStringList{"-c:a", "aac", "-shortest", s.clip},
      lavfi + QStringList{"smptebars=size=320x240:rate=25:duration=2"} + lavfi +
          QStringList{"sine=frequency=440:duration=2"} + lavfi + QStringList{"sine=frequency=880:duration=2"} +
          QStringList{"-map", "0", "-map", "1", "-map", "2"} + h264 +
          QStringList{"-c:a", "aac", "-metadata:s:a:0", "language=eng", "-metadata:s:a:1", "language=fra", s.bars},
      lavfi + QStringList{"smptebars=size=320x240:rate=25:duration=1", "-vf", "setsar=2"} + h264 +
          QStringList{s.wide},
      lavfi + QStringList{"sine=frequency=660:duration=1", "-c:a", "pcm_s16le", s.tone},
      lavfi + QStringList{"testsrc=size=320x240:rate=25", "-frames:v", "1"} + h264 + QStringList{s.frame},
      lavfi + QStringList{"testsrc=size=160x120:rate=10:duration=30"} + lavfi +
          QStringList{"sine=frequency=440:duration=30"} + lavfi + QStringList{"sine=frequency=880:duration=30"} +
          QStringList{"-map", "0", "-map", "1", "-map", "2"} + h264 +
          QStringList{"-c:a", "aac", "-b:a", "32k", "-metadata:s:a:0", "language=eng", "-metadata:s:a:1",
                      "language=fra", s.longClip},
      lavfi + QStringList{"smptebars=size=320x240:rate=10:duration=20"} + lavfi +
          QStringList{"sine=frequency=440:duration=20"} + h264 +
          QStringList{"-c:a", "aac", "-b:a", "32k", "-shortest", s.longBars},
      lavfi + QStringList{"testsrc=size=160x120:rate=25:duration=20"} + h264 + QStringList{"-f", "h264", s.rawStream},
      lavfi + QStringList{"testsrc=size=160x120:rate=10:duration=90"} + lavfi +
          QStringList{"sine=frequency=440:duration=90"} + h264 +
          QStringList{"-c:a", "aac", "-b:a", "32k", "-shortest", s.feature},
  });
  if (!made) return false;
  QFile whole(s.longBars), cut(s.cutBars);
  if (!whole.open(QIODevice::ReadOnly) || !cut.open(QIODevice::WriteOnly)) return false;
  const QByteArray bytes = whole.readAll();
  return cut.write(bytes.left(bytes.size() / 4)) == bytes.size() / 4;
}

MediaSamples make() {
  MediaSamples s;
  // Made once per build folder and shared by the test processes, which CTest runs side by side.
  const QString root = QStringLiteral(OX_BINARY_DIR "/test-media");
  if (!QDir().mkpath(root) || QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty()) return s;
  const QString d = root + QLatin1Char('/');
  s.clip = d + "clip.mkv";
  s.bars = d + "bars.mkv";
  s.wide = d + "wide.mkv";
  s.tone = d + "tone.wav";
  s.frame = d + "frame.mkv";
  s.longClip = d + "long.mkv";
  s.longBars = d + "long-bars.mkv";
  s.feature = d + "feature.mkv";
  s.cutBars = d + "cut-bars.mkv";
  s.rawStream = d + "stream.h264";
  s.subtitles = d + "cues.srt";
  s.missing = d + "nothing-here.mkv";
  for (const char* name : {"opus.webm", "aac.mka", "tone.ac3", "48k.eac3", "tone.wma", "alac.caf", "tone.wv",
                           "tone.ts", "rf64.wav", "tone.au", "tagged.mp3", "untagged.mp3", "22k-untagged.mp3",
                           "tone.mp2", "tone.aac", "tone.m4a", "vorbis.ogg", "tone.opus", "tone.flac", "tone.aiff"})
    s.previews << d + "preview-" + QLatin1String(name);
  s.previews << s.tone;
  QLockFile lock(d + ".lock");
  lock.setStaleLockTime(180000);
  if (!lock.lock()) return s;
  if (!QFile::exists(d + kStamp)) {
    if (!generate(s)) return s;
    QFile stamp(d + kStamp);
    if (!stamp.open(QIODevice::WriteOnly)) return s;
  }
  s.ok = true;
  return s;
}
}  // namespace

const MediaSamples& mediaSamples() {
  static const MediaSamples samples = make();
  return samples;
}

}  // namespace oxtest
