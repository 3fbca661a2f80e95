#pragma once
#include <QImage>
#include <QString>

namespace ox {

// The program's own pictures by file name ("PanelResumeVignette.png"), from its compiled-in resources under
// ":/images/"; a null image when there is none. Each is read once and kept. Thread-safe.
QImage imageNamed(const QString& name);

}  // namespace ox
