#pragma once
#include <QByteArray>

// Whether a downloaded theme-music preview is one the player takes, told by its bytes alone: a captive portal answers
// 200 with a page of its own, and a bucket may serve any of the containers the player reads (MPEG-4, Matroska and
// WebM, Ogg, FLAC, WAV and RF64, AIFF, CAF, AU, ASF, WavPack, MPEG transport streams, and raw MPEG audio, AAC and
// AC-3, with or without ID3 tags). A short magic is not trusted alone: a raw frame counts only with a second frame
// where the first one's length says, a tag or a box only with sizes the file can hold and audio after it.
struct SoundtrackCheck {
  static bool readsAsSoundtrack(const QByteArray& bytes);
};
