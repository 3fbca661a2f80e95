// Draws the pictures of Ombrix's own resources into resources/images/ (or the folder given):
//   ox-images [output folder]
// Each picture is ours, drawn here; run again after changing one and commit the result.
#include <QDir>
#include <QGuiApplication>
#include <QPainter>
#include <QLinearGradient>
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

// The ground under the movie browser's footer and posters: clear over the upper part of the screen, darkening to
// black at 85 % along the bottom edge, so the footer's white text reads over any backdrop. Drawn for the
// rectangle the browser renders it for (the screen's width, 0.814 of its height) and stretched over the screen.
QImage bottomGround() {
  const int w = 1920, h = 879;
  QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::transparent);
  QPainter p(&img);
  QLinearGradient g(0, 0, 0, h);
  for (const auto& [at, alpha] : {std::pair{0.0, 0}, {0.45, 0}, {0.62, 60}, {0.8, 160}, {1.0, 217}})
    g.setColorAt(at, QColor(0, 0, 0, alpha));
  p.fillRect(img.rect(), g);
  return img;
}

// The splash screen's logo, on black: a white ring with a play triangle inside it.
QImage ombrixLogo() {
  const int s = 173;
  QImage img(s, s, QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::black);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(Qt::white, 9));
  p.setBrush(Qt::NoBrush);
  p.drawEllipse(QPointF(s / 2.0, s / 2.0), s * 0.4, s * 0.4);
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::white);
  const double c = s / 2.0;
  p.drawPolygon(
      QPolygonF({QPointF(c - s * 0.11, c - s * 0.17), QPointF(c + s * 0.19, c), QPointF(c - s * 0.11, c + s * 0.17)}));
  return img;
}

// The poster of a title that has none: dark grey with a lighter frame of film perforations and a question mark.
QImage unknowPoster() {
  const int w = 500, h = 740;
  QImage img(w, h, QImage::Format_RGB32);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient g(0, 0, 0, h);
  g.setColorAt(0, QColor(72, 74, 80));
  g.setColorAt(1, QColor(34, 35, 39));
  p.fillRect(img.rect(), g);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(255, 255, 255, 40));
  for (int y = 30; y < h - 30; y += 56) {
    p.drawRoundedRect(QRectF(18, y, 26, 34), 5, 5);
    p.drawRoundedRect(QRectF(w - 44, y, 26, 34), 5, 5);
  }
  QFont font;
  font.setPixelSize(300);
  font.setBold(true);
  p.setFont(font);
  p.setPen(QColor(255, 255, 255, 90));
  p.drawText(QRectF(0, 0, w, h), Qt::AlignCenter, QStringLiteral("?"));
  return img;
}

// The veil over the poster of a title whose video file is missing: black at 60 %, so the poster still shows
// through it even at full strength.
QImage posterBlack() {
  QImage img(64, 64, QImage::Format_ARGB32_Premultiplied);
  img.fill(QColor(0, 0, 0, 153));
  return img;
}

}  // namespace

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("resources/images");
  QDir().mkpath(out);
  const bool saved = save(panelResumeVignette(), out, QStringLiteral("PanelResumeVignette.png")) &&
                     save(vignetteHome(), out, QStringLiteral("vignetteHome.png")) &&
                     save(bottomGround(), out, QStringLiteral("bottomGround.png")) &&
                     save(ombrixLogo(), out, QStringLiteral("ombrix_logo.png")) &&
                     save(unknowPoster(), out, QStringLiteral("unknowPoster.jpg")) &&
                     save(posterBlack(), out, QStringLiteral("posterBlack.png"));
  return saved ? 0 : 1;
}
