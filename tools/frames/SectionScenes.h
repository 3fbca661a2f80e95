#pragma once
// The frame tool's scenes of the show browser, a show's episode view, the trailers section and the streamer views,
// on a library of painted posters and backdrops (tools/frames/SectionScenes.cpp).
#include <QImage>
#include <QString>
#include <functional>

namespace sections {

using Save = std::function<void(const QImage& frame, const QString& name)>;

// The show browser (one show veiled: none of its files is there), then the episode view opened over it.
void showsAndEpisodes(const QString& library, const Save& save);
// The trailers row from a trailer list, then narrowed by a genre filter.
void trailers(const QString& library, const Save& save);
// The streamer movie browser on the plug-ins' titles and the splash of a stream that connects; the streamer show
// browser, a show's streamed episodes and the splash of an episode's stream.
void streamers(const QString& library, const Save& save);

}  // namespace sections
