#pragma once
#include <QElapsedTimer>
#include <QString>

// Pictures of the screen for the demo and the start benchmark, asked for through the environment:
//   OMBRIX_FRAME_PATH         a PNG file to save the screen into
//   OMBRIX_FRAME_DELAY        seconds between the first painted frame and the picture (default 0: that frame)
//   OMBRIX_QUIT_AFTER_FRAME   "1": Ombrix quits once the picture is saved (or after the first frame without a path)
// When any is set, standard output gets "first frame after <ms> ms" and "saved <path>".
class OXFrameCapture {
 public:
  // Does nothing when none of the variables is set. `sinceStart` runs from the program's start.
  static void installFromEnvironment(const QElapsedTimer& sinceStart);
};
