// Draws the pictures of Ombrix's own resources into resources/images/ (or the folder given):
//   ox-images [output folder]
// Each picture is ours, drawn here; run again after changing one and commit the result.
#include <QDir>
#include <QGuiApplication>
#include <QPainter>
#include <QRadialGradient>
#include <cmath>
#include <cstdio>

namespace {

bool save(const QImage& img, const QString& folder, const QString& name) {
  const QString path = QDir(folder).filePath(name);
  if (!img.save(path)) {
    std::fprintf(stderr, "could not write %s\n", qPrintable(path));
    return false;
  }
  std::printf("%s\n", qPrintable(path));
  return true;
}

// The veil behind the overlays' texts: clear where the text stands, darkening towards the edges and corners, so
// that the texts read over any backdrop. Drawn for a 16:9 screen and stretched to the screen's size.
QImage panelResumeVignette() {
  const int w = 1920, h = 1080;
  QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::transparent);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  // An ellipse as wide as the screen: the gradient is drawn in a circle and scaled.
  p.translate(w / 2.0, h / 2.0);
  p.scale(1.0, double(h) / w);
  const double r = std::hypot(w, w) / 2.0;
  QRadialGradient g(QPointF(0, 0), r);
  g.setColorAt(0.0, QColor(0, 0, 0, 0));
  g.setColorAt(0.35, QColor(0, 0, 0, 20));
  g.setColorAt(0.7, QColor(0, 0, 0, 120));
  g.setColorAt(1.0, QColor(0, 0, 0, 230));
  p.fillRect(QRectF(-r, -r, 2 * r, 2 * r), g);
  return img;
}

}  // namespace

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("resources/images");
  QDir().mkpath(out);
  return save(panelResumeVignette(), out, QStringLiteral("PanelResumeVignette.png")) ? 0 : 1;
}
