#pragma once
#include <QImage>
#include <QString>

namespace ox {

// The program's own images by name ("status_off", "iconMoviesEmpty"): each program embeds its pictures as Qt
// resources under ":/images/", as PNG files named after the image (a name may carry its extension). Images are
// read once and shared; a missing name gives a null image with one log line. Thread-safe.
class NamedImage {
 public:
  static QImage imageNamed(const QString& name);
};

}  // namespace ox
