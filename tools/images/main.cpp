// Draws the pictures of Ombrix's own resources into resources/images/ (or the folder given):
//   ox-images [output folder]
// Each picture is ours, drawn here; run again after changing one and commit the result.
#include <QDir>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPolygonF>
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

// The empty frame of an episode tile, shown until the episode's thumbnail arrives: a dark 16:9 card with a soft
// inner edge and a faint picture sign in the middle.
QImage emptyChapter() {
  const int w = 640, h = 360;
  QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::transparent);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF card(4, 4, w - 8, h - 8);
  QLinearGradient fill(0, 0, 0, h);
  fill.setColorAt(0, QColor(58, 60, 68));
  fill.setColorAt(1, QColor(28, 29, 34));
  p.setPen(QPen(QColor(255, 255, 255, 70), 4));
  p.setBrush(fill);
  p.drawRoundedRect(card, 14, 14);
  // A landscape in a frame: the sign of a picture still to come.
  const QRectF sign(w * 0.38, h * 0.3, w * 0.24, h * 0.4);
  p.setPen(QPen(QColor(255, 255, 255, 60), 6));
  p.setBrush(Qt::NoBrush);
  p.drawRoundedRect(sign, 8, 8);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(255, 255, 255, 60));
  p.drawEllipse(QPointF(sign.left() + sign.width() * 0.3, sign.top() + sign.height() * 0.32), sign.height() * 0.1,
                sign.height() * 0.1);
  p.drawPolygon(QPolygonF({QPointF(sign.left() + 8, sign.bottom() - 8),
                           QPointF(sign.left() + sign.width() * 0.45, sign.top() + sign.height() * 0.45),
                           QPointF(sign.left() + sign.width() * 0.65, sign.top() + sign.height() * 0.65),
                           QPointF(sign.left() + sign.width() * 0.8, sign.top() + sign.height() * 0.5),
                           QPointF(sign.right() - 8, sign.bottom() - 8)}));
  return img;
}

// The watched mark of an episode in eighths: a dark disc under the episode number, filled clockwise from the top
// with the part of the episode that was seen, in a ring of white.
QImage watchedMark(int eighths) {
  const int side = 128;
  QImage img(side, side, QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::transparent);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF disc(6, 6, side - 12, side - 12);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0, 0, 0, 150));
  p.drawEllipse(disc);
  p.setBrush(QColor(46, 150, 255));
  if (eighths >= 8)
    p.drawEllipse(disc);
  else if (eighths > 0)
    p.drawPie(disc, 90 * 16, -eighths * 45 * 16);  // from twelve o'clock, clockwise
  p.setPen(QPen(Qt::white, 7));
  p.setBrush(Qt::NoBrush);
  p.drawEllipse(disc);
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
  bool ok = save(panelResumeVignette(), out, QStringLiteral("PanelResumeVignette.png"));
  ok = save(vignetteHome(), out, QStringLiteral("vignetteHome.png")) && ok;
  ok = save(emptyChapter(), out, QStringLiteral("ShowsDetailViewEmptyChapter.png")) && ok;
  for (int k = 0; k <= 8; ++k) ok = save(watchedMark(k), out, QStringLiteral("%1P.png").arg(k)) && ok;
  return ok ? 0 : 1;
}
