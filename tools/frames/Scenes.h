#pragma once
// Scenes built the way the browsing views build them, with pictures of our own drawing: used by the frame tool
// (tools/frames) and the layer benchmark (bench/bench_layers.cpp). Header-only so both can take it as it is.
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QRandomGenerator>
#include <cmath>
#include <memory>
#include <vector>

#include "app/MyLayoutManager.h"
#include "app/OXKenBurnsLayer.h"
#include "app/OXPosterMaskView.h"
#include "platform/layers/Fonts.h"
#include "platform/layers/GradientLayer.h"
#include "platform/layers/LayoutManager.h"
#include "platform/layers/ReplicatorLayer.h"
#include "platform/layers/TextLayer.h"
#include "platform/layers/Transaction.h"

namespace scenes {

using ox::Constraint;
using ox::ConstraintAttribute;
using ox::LayerPtr;

inline bool registerFonts(const QString& sourceDir) {
  return ox::Fonts::registerFontFile(sourceDir + "/resources/fonts/oxfont.ttf") &&
         ox::Fonts::registerFontFile(sourceDir + "/resources/fonts/ombrixeglyph.ttf");
}

// A landscape: sky, sun, three ranges of hills.
inline QImage paintBackdrop(int w, int h, int seed) {
  QImage img(w, h, QImage::Format_RGB32);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  const int hue = (seed * 67) % 360;
  QLinearGradient sky(0, 0, 0, h);
  sky.setColorAt(0, QColor::fromHsv(hue, 120, 90));
  sky.setColorAt(0.6, QColor::fromHsv((hue + 30) % 360, 90, 230));
  sky.setColorAt(1, QColor::fromHsv((hue + 50) % 360, 60, 250));
  p.fillRect(img.rect(), sky);
  p.setBrush(QColor::fromHsv((hue + 40) % 360, 40, 255));
  p.setPen(Qt::NoPen);
  p.drawEllipse(QPointF(w * (0.25 + 0.5 * ((seed % 5) / 4.0)), h * 0.35), h * 0.09, h * 0.09);
  QRandomGenerator rng(quint32(seed) + 11);
  for (int range = 0; range < 3; ++range) {
    QPainterPath hills;
    hills.moveTo(0, h);
    const double base = h * (0.55 + 0.13 * range);
    const int steps = 24;
    for (int k = 0; k <= steps; ++k) {
      const double x = double(w) * k / steps;
      hills.lineTo(x, base - h * 0.08 * std::sin(x * (0.004 + 0.002 * range) * 1920.0 / w + seed + range) -
                          h * 0.03 * rng.generateDouble());
    }
    hills.lineTo(w, h);
    hills.closeSubpath();
    p.fillPath(hills, QColor::fromHsv((hue + 180 + range * 10) % 360, 80 + range * 40, 140 - range * 40));
  }
  return img;
}

// Darkens the edges: clear in the middle, black at 80 % in the corners.
inline QImage paintVignette(int w, int h) {
  QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::transparent);
  QPainter p(&img);
  QRadialGradient g(QPointF(w / 2.0, h / 2.0), std::hypot(w, h) / 2.0);
  g.setColorAt(0.0, QColor(0, 0, 0, 0));
  g.setColorAt(0.55, QColor(0, 0, 0, 40));
  g.setColorAt(1.0, QColor(0, 0, 0, 205));
  p.fillRect(img.rect(), g);
  return img;
}

// A poster: a coloured field with a shape and a title, composed like the browser composes posters (frame image
// over it, then the rounded-corner mask with destination-in).
inline QImage paintPoster(int w, int h, int index, const QString& title) {
  QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  const int hue = (index * 47) % 360;
  QLinearGradient bg(0, 0, 0, h);
  bg.setColorAt(0, QColor::fromHsv(hue, 160, 210));
  bg.setColorAt(1, QColor::fromHsv((hue + 40) % 360, 200, 60));
  p.fillRect(img.rect(), bg);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor::fromHsv((hue + 180) % 360, 120, 240, 200));
  if (index % 3 == 0)
    p.drawEllipse(QPointF(w * 0.5, h * 0.42), w * 0.3, w * 0.3);
  else if (index % 3 == 1)
    p.drawPolygon(QPolygonF({QPointF(w * 0.2, h * 0.65), QPointF(w * 0.5, h * 0.15), QPointF(w * 0.8, h * 0.65)}));
  else
    p.drawRect(QRectF(w * 0.22, h * 0.2, w * 0.56, h * 0.45));
  p.setPen(Qt::white);
  p.setFont(ox::Fonts::font("oxfont-Regular", h * 0.07));
  p.drawText(QRectF(w * 0.05, h * 0.72, w * 0.9, h * 0.2), Qt::AlignCenter | Qt::TextWordWrap, title);
  p.drawImage(0, 0, OXPosterMaskView(QRectF(0, 0, w, h)).imageWithSubviews());
  p.setCompositionMode(QPainter::CompositionMode_DestinationIn);
  p.drawImage(0, 0, OXPosterMaskCornerRadius(QRectF(0, 0, w, h)).imageWithSubviews());
  return img;
}

inline void centre(const LayerPtr& l, const QString& source = "superlayer") {
  l->addConstraint(Constraint(ConstraintAttribute::MidX, source, ConstraintAttribute::MidX));
  l->addConstraint(Constraint(ConstraintAttribute::MidY, source, ConstraintAttribute::MidY));
}

inline LayerPtr screenRoot(const QSizeF& screen) {
  LayerPtr root = ox::Layer::layer();
  root->setAnchorPoint(QPointF(0, 0));
  root->setBounds(QRectF(QPointF(0, 0), screen));
  root->setBackgroundColor(Qt::black);
  root->setLayoutManager(ox::ConstraintLayoutManager::layoutManager());
  return root;
}

// One poster layer: holder, replicator with the dimmed mirror below, image.
inline LayerPtr posterLayer(const QSizeF& poster, const QImage& image) {
  LayerPtr item = ox::Layer::layer(), holder = ox::Layer::layer(), picture = ox::Layer::layer();
  auto reflection = ox::ReplicatorLayer::layer();
  item->setLayoutManager(ox::ConstraintLayoutManager::layoutManager());
  holder->setLayoutManager(ox::ConstraintLayoutManager::layoutManager());
  item->setBounds(QRectF(0, 0, poster.width(), poster.height() * 1.5));
  holder->setBounds(item->bounds());
  centre(holder);
  reflection->setInstanceCount(2);
  reflection->setInstanceTransform(
      ox::Transform3D::translate(ox::Transform3D::makeScale(1, -1, 1), 0, poster.height() + 2, 0));
  reflection->setInstanceRedOffset(-0.86);
  reflection->setInstanceGreenOffset(-0.86);
  reflection->setInstanceBlueOffset(-0.86);
  centre(reflection);
  picture->setBounds(QRectF(QPointF(0, 0), poster));
  picture->setContentsGravity(ox::Gravity::ResizeAspectFill);
  picture->setContents(image);
  reflection->addSublayer(picture);
  holder->addSublayer(reflection);
  item->addSublayer(holder);
  item->setValue("__holderLayer", QVariant::fromValue(holder));
  item->setValue("__reflectionLayer", QVariant::fromValue(LayerPtr(reflection)));
  item->setValue("__imageLayer", QVariant::fromValue(picture));
  item->setValue("isEnable", true);
  return item;
}

struct CoverFlow {
  LayerPtr root;
  LayerPtr row;
  QSizeF poster;
  void select(qint64 index) {
    row->setValue("selectedIndex", index);
    row->setNeedsLayout();
    row->layoutIfNeeded();
  }
};

// The movie browser's row: `count` posters over a backdrop, `distinct` different pictures among them.
inline CoverFlow buildCoverFlow(const QSizeF& screen, int count, int distinct, const QImage& backdrop = {}) {
  CoverFlow c;
  c.root = screenRoot(screen);
  c.poster = QSizeF(std::round(screen.width() * 0.209375 * 0.8), std::round(screen.width() * 0.3104166666666667 * 0.8));
  if (!backdrop.isNull()) {
    LayerPtr back = ox::Layer::layer();
    back->setFrame(QRectF(QPointF(0, 0), screen));
    back->setContentsGravity(ox::Gravity::ResizeAspectFill);
    back->setContents(backdrop);
    back->setOpacity(0.45);
    centre(back);
    c.root->addSublayer(back);
  }
  c.row = ox::Layer::layer();
  c.row->setZPosition(0.5);
  c.row->setLayoutManager(MyLayoutManager::layoutManagerWithImageSize(c.poster));
  c.row->addConstraint(Constraint(ConstraintAttribute::MidX, "superlayer", ConstraintAttribute::MidX));
  c.row->addConstraint(Constraint(ConstraintAttribute::MinY, "superlayer", ConstraintAttribute::MinY, 1.0,
                                  0.374 * screen.height()));
  std::vector<QImage> pictures;
  const QStringList titles = {"Quiet Orchard", "The Long Tide", "Paper Moons", "North of Nowhere", "Glass Harbour",
                              "Ember Road", "Salt and Signal", "The Lantern Keeper"};
  for (int i = 0; i < std::max(1, distinct); ++i)
    pictures.push_back(paintPoster(int(c.poster.width()), int(c.poster.height()), i, titles[i % titles.size()]));
  for (int i = 0; i < count; ++i) c.row->addSublayer(posterLayer(c.poster, pictures[std::size_t(i) % pictures.size()]));
  c.root->addSublayer(c.row);
  c.select(0);
  ox::Transaction::flush();
  return c;
}

inline std::shared_ptr<ox::TextLayer> text(const QString& s, const QString& font, double size) {
  auto t = ox::TextLayer::layer();
  t->setString(s);
  t->setFont(font);
  t->setFontSize(size);
  return t;
}

struct Home {
  LayerPtr root;
  std::shared_ptr<OXKenBurnsLayer> kenburns;
};

// Home: slideshow with its vignette, the left-half gradient, the section list and the clock.
inline Home buildHome(const QSizeF& screen) {
  Home h;
  const double W = screen.width(), H = screen.height();
  h.root = screenRoot(screen);
  LayerPtr other = ox::Layer::layer();
  other->setLayoutManager(ox::ConstraintLayoutManager::layoutManager());
  other->setFrame(QRectF(QPointF(0, 0), screen));
  other->setZPosition(10);
  centre(other);
  auto clock = text("9:41 PM", "oxfont-Regular", std::ceil(float(H / 27)));
  clock->setName("time_otherlayer");
  clock->setAlignmentMode(ox::TextAlignment::Right);
  clock->setShadowColor(Qt::black);
  clock->setShadowRadius(2);
  clock->setShadowOpacity(1);
  clock->setShadowOffset(QSizeF(0, 0));
  clock->addConstraint(Constraint(ConstraintAttribute::MinX, "superlayer", ConstraintAttribute::MinX, 1.0, 44));
  clock->addConstraint(Constraint(ConstraintAttribute::MaxY, "superlayer", ConstraintAttribute::MaxY, 1.0, -26));
  other->addSublayer(clock);
  h.root->addSublayer(other);

  auto gradient = ox::GradientLayer::layer();
  gradient->setAnchorPoint(QPointF(0, 0));
  gradient->setBounds(QRectF(0, 0, W * 0.5, H));
  gradient->setZPosition(8);
  gradient->setColors({QColor(0, 0, 0, 140), QColor(0, 0, 0, 0)});
  gradient->setStartPoint(QPointF(0, 0.5));
  gradient->setEndPoint(QPointF(1, 0.5));
  h.root->addSublayer(gradient);
  const QStringList sections = {"Trailers", "Movies", "Shows"};
  for (int i = 0; i < sections.size(); ++i) {
    auto row = text(sections[i], "oxfont-Regular", std::ceil(H / 14));
    row->setZPosition(9);
    row->setOpacity(i == 1 ? 1.0 : 0.5);
    row->setAnchorPoint(QPointF(0, 0));
    row->setBounds(QRectF(QPointF(0, 0), row->preferredFrameSize()));
    row->setPosition(QPointF(W * 0.08, H * (0.58 - 0.1 * i)));
    h.root->addSublayer(row);
  }
  h.kenburns = OXKenBurnsLayer::layer();
  h.root->addSublayer(h.kenburns);
  LayerPtr vignette = ox::Layer::layer();
  vignette->setName("vignette");
  vignette->setZPosition(6);
  vignette->setFrame(QRectF(QPointF(0, 0), screen));
  vignette->setContents(paintVignette(int(W), int(H)));
  centre(vignette);
  h.kenburns->addSublayer(vignette);
  ox::Transaction::flush();
  return h;
}

}  // namespace scenes
