#include "tests/platform/media/MediaSamples.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <memory>
#include <vector>

#include "platform/media/VLCLibrary.h"

namespace oxtest {

namespace {
// Runs every ffmpeg command at once (each spends most of its time starting up); true when all succeed.
bool ffmpeg(const QList<QStringList>& commands) {
  std::vector<std::unique_ptr<QProcess>> runs;
  for (const QStringList& args : commands) {
    runs.push_back(std::make_unique<QProcess>());
    runs.back()->start(QStringLiteral("ffmpeg"), QStringList{"-hide_banner", "-loglevel", "error", "-y"} + args);
  }
  bool ok = true;
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

MediaSamples make() {
  ox::VLCLibrary::setExtraArguments({QStringLiteral("--aout=adummy")});
  MediaSamples s;
  static QTemporaryDir dir;
  if (!dir.isValid() || QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty()) return s;
  const QString d = dir.path() + QLatin1Char('/');
  s.clip = d + "clip.mkv";
  s.bars = d + "bars.mkv";
  s.wide = d + "wide.mkv";
  s.tone = d + "tone.wav";
  s.subtitles = d + "cues.srt";
  s.missing = d + "nothing-here.mkv";
  const QStringList h264{"-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p"};
  bool ok = ffmpeg({
      QStringList{"-f", "lavfi", "-i", "testsrc=size=320x240:rate=25:duration=2", "-f", "lavfi", "-i",
                               "sine=frequency=440:duration=2"} +
                   h264 + QStringList{"-c:a", "aac", "-shortest", s.clip},
      QStringList{"-f", "lavfi", "-i", "smptebars=size=320x240:rate=25:duration=2", "-f", "lavfi", "-i",
                                "sine=frequency=440:duration=2", "-f", "lavfi", "-i", "sine=frequency=880:duration=2",
                                "-map", "0", "-map", "1", "-map", "2"} +
                    h264 +
                    QStringList{"-c:a", "aac", "-metadata:s:a:0", "language=eng", "-metadata:s:a:1", "language=fra",
                                s.bars},
      QStringList{"-f", "lavfi", "-i", "smptebars=size=320x240:rate=25:duration=1", "-vf", "setsar=2"} +
                    h264 + QStringList{s.wide},
      QStringList{"-f", "lavfi", "-i", "sine=frequency=660:duration=1", "-c:a", "pcm_s16le", s.tone},
  });
  QFile srt(s.subtitles);
  ok = ok && srt.open(QIODevice::WriteOnly) &&
       srt.write("1\n00:00:00,000 --> 00:00:01,000\nFirst cue\n\n2\n00:00:01,000 --> 00:00:02,000\nSecond cue\n") > 0;
  srt.close();
  s.ok = ok;
  return s;
}
}  // namespace

const MediaSamples& mediaSamples() {
  static const MediaSamples samples = make();
  return samples;
}

}  // namespace oxtest
