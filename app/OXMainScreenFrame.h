#pragma once
#include <QRectF>
#include <optional>

// The chosen screen's frame with a zero origin, as the display preferences answer it (`mainScreenFrame`): the
// full-screen views and layers take their sizes from it. The zero rectangle when there is no screen.
// It reads the primary screen unless a frame was fixed (tests and tools do that).
QRectF OXMainScreenFrame();
void OXSetMainScreenFrame(std::optional<QRectF> frame);
