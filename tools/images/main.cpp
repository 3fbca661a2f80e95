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

// Home's darkening over the backdrop slideshow: clear in the middle, black at 80 % in the corners, in a circle as
// wide as the screen's diagonal. Drawn at half the size of a 1920 x 1080 screen; the layer stretches it.
QImage vignetteHome() {
  const int w = 960, h = 540;
  QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::transparent);
  QPainter p(&img);
  QRadialGradient g(QPointF(w / 2.0, h / 2.0), std::hypot(w, h) / 2.0);
  // A smooth step from 35 % of the way out to the corners.
  for (const auto& [at, alpha] : {std::pair{0.35, 0}, {0.5, 28}, {0.65, 88}, {0.8, 156}, {1.0, 204}})
    g.setColorAt(at, QColor(0, 0, 0, alpha));
  p.fillRect(img.rect(), g);
  return img;
}

}  // namespace

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("resources/images");
  QDir().mkpath(out);
  const bool saved = save(panelResumeVignette(), out, QStringLiteral("PanelResumeVignette.png")) &&
                     save(vignetteHome(), out, QStringLiteral("vignetteHome.png"));
  return saved ? 0 : 1;
}
