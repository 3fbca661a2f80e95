// Draws the pictures of both programs' own resources into resources/images/, and their application icons into
// resources/icons/ as the desktop's icon theme lays them out (or into the folders given):
//   ox-images [output folder [icons folder]]
// Each picture is ours, drawn here; run again after changing one and commit the result. Ombrix's, among others:
//   bottomGround, ombrix_logo      the movie browser's darkening under the footer, and its splash screen's logo
//   unknowPoster.jpg, posterBlack  the poster of a title that has none, and the veil over an unavailable one
// Ombrix Helper's, drawn at twice their size in points ("<name>@2x.png"):
//   status_off, status_on          the status item's icon, plain and highlighted (18 x 18 points)
//   status_alt_off, status_alt_on  the same with the scanning dot, the icon's second phase while a scan runs
//   iconMoviesEmpty, iconTVShowsEmpty  the panel's empty-library pictures (96 x 96 points)
//   button-identify, button-identify-ok  the lists' row buttons, cut in three and stretched (40 x 20, 40 x 24 points)
//   artwork-nomovie                the lists' poster of a file without one (40 x 60 points)
//   gearButton                     the panel's gear (20 x 20 points)
// The application icons, hicolor/<size>/apps/<bundle identifier>.png, which the desktop's menu shows:
//   Varnel.Ombrix, Varnel.OmbrixHelper  the splash logo's ring, and the status item's screen, on a rounded tile
#include <QDir>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
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

// A transparent canvas for a helper picture of `points` x `points` points, at twice the pixels.
QImage canvas(int points) {
  QImage image(points * 2, points * 2, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  return image;
}

// The helper's mark: a screen with a play triangle under it a small stand; with `dot`, the scanning dot at the
// top right. A dark halo keeps the light glyph readable on light bars too.
QImage statusIcon(const QColor& ink, bool dot) {
  QImage image = canvas(18);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(2, 2);
  const QRectF screen(1.5, 2.5, 15, 10.5);
  QPainterPath play;
  play.moveTo(7.3, 5.2);
  play.lineTo(11.6, 7.75);
  play.lineTo(7.3, 10.3);
  play.closeSubpath();
  const auto draw = [&](const QColor& colour, double extra) {
    p.setPen(QPen(colour, 1.6 + extra, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(screen, 2.2, 2.2);
    p.drawLine(QPointF(6, 15.6), QPointF(12, 15.6));
    p.setBrush(colour);
    p.setPen(extra > 0 ? QPen(colour, extra, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin) : Qt::NoPen);
    p.drawPath(play);
  };
  draw(QColor(0, 0, 0, 90), 1.2);
  draw(ink, 0);
  if (dot) {
    p.setPen(QPen(QColor(0, 0, 0, 110), 1));
    p.setBrush(QColor(64, 196, 255));
    p.drawEllipse(QPointF(15, 3), 2.9, 2.9);
  }
  return image;
}

QImage emptyIcon(bool shows) {
  QImage image = canvas(96);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(2, 2);
  const QColor ink(199, 199, 204);
  p.setPen(QPen(ink, 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(Qt::NoBrush);
  if (shows) {
    // A television with its two antennas.
    p.drawRoundedRect(QRectF(12, 30, 72, 50), 8, 8);
    p.drawLine(QPointF(48, 30), QPointF(34, 12));
    p.drawLine(QPointF(48, 30), QPointF(62, 12));
    p.drawLine(QPointF(34, 86), QPointF(62, 86));
    p.setPen(QPen(ink, 3));
    p.drawRoundedRect(QRectF(22, 39, 52, 32), 4, 4);
  } else {
    // A clapperboard: the board and its striped, raised clapper.
    p.drawRoundedRect(QRectF(14, 40, 68, 42), 5, 5);
    p.save();
    p.translate(14, 36);
    p.rotate(-14);
    p.drawRoundedRect(QRectF(0, -12, 68, 12), 3, 3);
    p.setPen(QPen(ink, 4, Qt::SolidLine, Qt::RoundCap));
    for (int x = 12; x < 68; x += 14) p.drawLine(QPointF(x, -12), QPointF(x - 7, 0));
    p.restore();
    p.setPen(QPen(ink, 4, Qt::SolidLine, Qt::RoundCap));
    for (int x = 26; x < 82; x += 14) p.drawLine(QPointF(x, 40), QPointF(x - 7, 52));
    p.drawLine(QPointF(14, 52), QPointF(82, 52));
  }
  return image;
}

// A canvas of w x h points at twice the pixels.
QImage canvas(int w, int h) {
  QImage image(w * 2, h * 2, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  return image;
}

// A rounded button face whose middle is the same in every column, so that it stretches sideways.
QImage buttonFace(int h, const QColor& top, const QColor& bottom, const QColor& border) {
  QImage image = canvas(40, h);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(2, 2);
  QLinearGradient fill(0, 0, 0, h);
  fill.setColorAt(0, top);
  fill.setColorAt(1, bottom);
  p.setPen(QPen(border, 1));
  p.setBrush(fill);
  p.drawRoundedRect(QRectF(0.5, 0.5, 39, h - 1), 5, 5);
  return image;
}

// A poster's place without a poster: a grey card with a strip of film across it.
QImage artworkNoMovie() {
  QImage image = canvas(40, 60);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(2, 2);
  p.fillRect(QRectF(0, 0, 40, 60), QColor(214, 214, 220));
  p.fillRect(QRectF(0, 20, 40, 20), QColor(150, 150, 158));
  p.setBrush(QColor(214, 214, 220));
  p.setPen(Qt::NoPen);
  for (int x = 3; x < 40; x += 7) {
    p.drawRoundedRect(QRectF(x, 22, 3.5, 3), 0.8, 0.8);
    p.drawRoundedRect(QRectF(x, 35, 3.5, 3), 0.8, 0.8);
  }
  p.setBrush(QColor(236, 236, 240));
  QPainterPath play;
  play.moveTo(17, 27);
  play.lineTo(24, 30);
  play.lineTo(17, 33);
  play.closeSubpath();
  p.drawPath(play);
  return image;
}

// Eight teeth around a ring.
QImage gearButton() {
  QImage image = canvas(20, 20);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(2, 2);
  p.translate(10, 10);
  const QColor ink(96, 96, 104);
  p.setPen(Qt::NoPen);
  p.setBrush(ink);
  for (int tooth = 0; tooth < 8; ++tooth) {
    p.drawRoundedRect(QRectF(-1.8, -9, 3.6, 5), 0.8, 0.8);
    p.rotate(45);
  }
  p.drawEllipse(QPointF(0, 0), 6.4, 6.4);
  p.setBrush(QColor(250, 250, 252));
  p.drawEllipse(QPointF(0, 0), 2.6, 2.6);
  return image;
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

// An application icon of `side` pixels: a rounded tile with Ombrix's ring and play triangle, or (`helper`) the
// status item's screen, so that the menu shows the two programs as a pair. Drawn on a 256 grid at every size.
QImage appIcon(int side, bool helper) {
  QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(side / 256.0, side / 256.0);
  const QRectF tile(12, 12, 232, 232);
  QLinearGradient fill(0, tile.top(), 0, tile.bottom());
  fill.setColorAt(0, helper ? QColor(98, 112, 134) : QColor(44, 50, 72));
  fill.setColorAt(1, helper ? QColor(46, 54, 68) : QColor(10, 11, 16));
  p.setPen(QPen(QColor(255, 255, 255, 60), 3));
  p.setBrush(fill);
  p.drawRoundedRect(tile, 52, 52);
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(Qt::white, 14, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  QPainterPath play;
  if (helper) {
    p.drawRoundedRect(QRectF(52, 62, 152, 108), 18, 18);
    p.drawLine(QPointF(100, 200), QPointF(156, 200));
    play.moveTo(110, 88);
    play.lineTo(156, 116);
    play.lineTo(110, 144);
  } else {
    p.drawEllipse(QPointF(128, 128), 76, 76);
    play.moveTo(107, 92);
    play.lineTo(162, 128);
    play.lineTo(107, 164);
  }
  play.closeSubpath();
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::white);
  p.drawPath(play);
  return image;
}

}  // namespace

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("resources/images");
  const QString icons = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("resources/icons");
  QDir().mkpath(out);
  bool ok = save(panelResumeVignette(), out, QStringLiteral("PanelResumeVignette.png"));
  ok &= save(vignetteHome(), out, QStringLiteral("vignetteHome.png"));
  ok &= save(bottomGround(), out, QStringLiteral("bottomGround.png"));
  ok &= save(ombrixLogo(), out, QStringLiteral("ombrix_logo.png"));
  ok &= save(unknowPoster(), out, QStringLiteral("unknowPoster.jpg"));
  ok &= save(posterBlack(), out, QStringLiteral("posterBlack.png"));
  const QColor light(236, 236, 240);
  const QColor white(255, 255, 255);
  ok &= save(statusIcon(light, false), out, QStringLiteral("status_off@2x.png"));
  ok &= save(statusIcon(white, false), out, QStringLiteral("status_on@2x.png"));
  ok &= save(statusIcon(light, true), out, QStringLiteral("status_alt_off@2x.png"));
  ok &= save(statusIcon(white, true), out, QStringLiteral("status_alt_on@2x.png"));
  ok &= save(emptyIcon(false), out, QStringLiteral("iconMoviesEmpty@2x.png"));
  ok &= save(emptyIcon(true), out, QStringLiteral("iconTVShowsEmpty@2x.png"));
  ok &= save(buttonFace(20, QColor(253, 253, 254), QColor(234, 234, 238), QColor(180, 180, 188)), out,
             QStringLiteral("button-identify@2x.png"));
  ok &= save(buttonFace(24, QColor(255, 255, 255), QColor(236, 245, 228), QColor(121, 176, 74)), out,
             QStringLiteral("button-identify-ok@2x.png"));
  ok &= save(artworkNoMovie(), out, QStringLiteral("artwork-nomovie@2x.png"));
  ok &= save(gearButton(), out, QStringLiteral("gearButton@2x.png"));
  ok &= save(emptyChapter(), out, QStringLiteral("ShowsDetailViewEmptyChapter.png"));
  for (int k = 0; k <= 8; ++k) ok &= save(watchedMark(k), out, QStringLiteral("%1P.png").arg(k));
  for (const int side : {48, 128, 256}) {
    const QString folder = QDir(icons).filePath(QStringLiteral("hicolor/%1x%1/apps").arg(side));
    QDir().mkpath(folder);
    ok &= save(appIcon(side, false), folder, QStringLiteral("Varnel.Ombrix.png"));
    ok &= save(appIcon(side, true), folder, QStringLiteral("Varnel.OmbrixHelper.png"));
  }
  return ok ? 0 : 1;
}
