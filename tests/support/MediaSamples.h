#pragma once
#include <QString>
#include <QStringList>

namespace oxtest {

// Small media files made with ffmpeg once per test run, in a temporary folder removed at exit.
struct MediaSamples {
  bool ok = false;       // false when ffmpeg is missing or failed; tests then skip
  QString clip;          // 2 s, 320x240 test pattern at 25 fps with a 440 Hz tone
  QString bars;          // 2 s, 320x240 colour bars with two audio tracks (eng 440 Hz, fra 880 Hz)
  QString wide;          // 1 s, 320x240 colour bars stored with pixels twice as wide as high
  QString tone;          // 1 s, audio only
  QString longClip;      // 30 s, 160x120 test pattern with two audio tracks (eng, fra): room for jumps
  QString longBars;      // 20 s, 320x240 colour bars at 10 fps with a 440 Hz tone: a film to leave half-way
  QString feature;       // 90 s, 160x120 test pattern at 10 fps with a 440 Hz tone: still playing a minute in
  QString cutBars;       // the first quarter of longBars' bytes: it announces 20 s and ends after about 4
  QString rawStream;     // 20 s of raw H.264, 160x120 test pattern: no container, so no length is ever known
  QString frame;         // one frame of the test pattern: over before its first time report
  QString subtitles;     // an .srt file of two cues
  QStringList previews;  // 1 s theme-music previews, one in each container and coding the player takes
  QString missing;       // a path where nothing is
};

const MediaSamples& mediaSamples();

}  // namespace oxtest
