#pragma once
#include <QImage>
#include <QString>

namespace ox {

// The program's own pictures by file name ("PanelResumeVignette.png"; a name without a type is taken as a PNG), from
// its compiled-in resources under ":/images/"; a null image when there is none. A picture drawn at twice its size
// ("status_off@2x.png") shows at its size in points. Each is read once and kept. Thread-safe.
QImage imageNamed(const QString& name);

}  // namespace ox
