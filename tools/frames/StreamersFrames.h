#pragma once
#include <QImage>
#include <QString>
#include <functional>

// The frame tool's scenes of the streamer views: `save` writes one picture under a file name.
using SaveFrame = std::function<void(const QImage& image, const QString& name)>;

// The streamer movie browser on painted plug-in titles, settled, then the splash screen of a stream that connects.
void streamersFrames(const QString& library, const SaveFrame& save);
