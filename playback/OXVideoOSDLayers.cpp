// The layer tree of the on-screen display: the progress controls, the volume bezel and the options panel's layers.
#include <QGuiApplication>
#include <QScreen>
#include <algorithm>
#include <cmath>

#include "core/OXPreferencesValues.h"
#include "platform/layers/LayoutManager.h"
#include "platform/layers/Transaction.h"
#include "playback/OXVideoOSD.h"
#include "playback/RollLayout.h"

using namespace ox;

namespace {

using A = ConstraintAttribute;

double backingScale() {
  QScreen* screen = OXPreferencesValues::sharePreferences()->mainScreen();
  return screen ? screen->devicePixelRatio() : 1.0;
}

std::shared_ptr<TextLayer> textLayer(const QString& name, const QString& text, const QString& font, double size,
                                     TextAlignment alignment) {
  auto t = TextLayer::layer();
  t->setName(name);
  t->setString(text);
  t->setFont(font);
  t->setFontSize(size);
  t->setForegroundColor(Qt::white);
  t->setAlignmentMode(alignment);
  t->setContentsScale(backingScale());
  return t;
}

void constrain(const LayerPtr& l, A attribute, const QString& source, A sourceAttribute, double offset = 0) {
  l->addConstraint(Constraint(attribute, source, sourceAttribute, 1.0, offset));
}

const QString kSuper = QStringLiteral("superlayer");
const QString kText = QStringLiteral("oxfont-Regular");
const QString kGlyph = QStringLiteral("OmbrixeGlyph");
constexpr double kBarMargin = 40;  // from the left edge to the play/pause glyph
constexpr double kBarGap = 34;     // between the glyph and the track, and from the times to the edges

}  // namespace

void OXVideoOSD::setupLayers() {
  columnOption_ = 0;
  optionsPanel_ = false;
  const QRectF screen = OXPreferencesValues::sharePreferences()->mainScreenFrame();
  if (frame().isEmpty()) setFrame(screen);
  LayerPtr root = layer();
  Transaction::begin();
  Transaction::setDisableActions(true);
  root->setLayoutManager(ConstraintLayoutManager::layoutManager());
  setupControls();
  setupVolume();
  setupOptionsPanel();
  Transaction::commit();
}

void OXVideoOSD::setupControls() {
  const QRectF screen = OXPreferencesValues::sharePreferences()->mainScreenFrame();
  const double H = screen.height();
  barLayer_ = Layer::layer();
  barLayer_->setName(QStringLiteral("barLayer"));
  barLayer_->setFrame(frame());
  barLayer_->setOpacity(0);
  barLayer_->setLayoutManager(ConstraintLayoutManager::layoutManager());
  constrain(barLayer_, A::MidX, kSuper, A::MidX);
  constrain(barLayer_, A::MidY, kSuper, A::MidY);

  loadLocalFonts(QStringLiteral("ombrixeglyph"));
  glyphsPlayPause_ = textLayer(QStringLiteral("PlayPause"), QStringLiteral("4"), kGlyph, 0.12 * H, TextAlignment::Left);
  constrain(glyphsPlayPause_, A::MinX, kSuper, A::MinX, kBarMargin);
  constrain(glyphsPlayPause_, A::MinY, kSuper, A::MinY, -8);
  // The width assumes a glyph about 50 wide at 1080; ours is wider, and the track must still end on screen.
  const double trackLeft = kBarMargin + glyphsPlayPause_->preferredFrameSize().width() + kBarGap;
  trackWidth_ = std::max(0.0, std::min(std::round(screen.width() - std::round(0.08 * H) - 72),
                                       std::floor(screen.width() - kBarGap - trackLeft)));
  const double track = trackWidth_;

  timeStart_ = textLayer(QStringLiteral("Time_Start"), QStringLiteral("00:00:00"), kText, 0.038 * H, TextAlignment::Left);
  constrain(timeStart_, A::MinX, QStringLiteral("PlayPause"), A::MaxX, kBarGap);
  constrain(timeStart_, A::MidY, QStringLiteral("PlayPause"), A::MidY, 0.014 * H);

  timeEnd_ = textLayer(QStringLiteral("Time_End"), QStringLiteral("-00:00:00"), kText, 0.038 * H, TextAlignment::Right);
  constrain(timeEnd_, A::MaxX, kSuper, A::MaxX, -kBarGap);
  constrain(timeEnd_, A::MidY, QStringLiteral("Time_Start"), A::MidY);

  barBackLayer_ = Layer::layer();
  barBackLayer_->setName(QStringLiteral("barBackLayer"));
  barBackLayer_->setBackgroundColor(QColor(255, 255, 255, 128));
  barBackLayer_->setBounds(QRectF(0, 0, track, 0.007 * H));
  barBackLayer_->setCornerRadius(5);
  barBackLayer_->setMasksToBounds(true);
  constrain(barBackLayer_, A::MinX, QStringLiteral("PlayPause"), A::MaxX, kBarGap);
  constrain(barBackLayer_, A::MidY, QStringLiteral("PlayPause"), A::MidY, std::round(-0.015 * H));

  barProgressLayer_ = Layer::layer();
  barProgressLayer_->setBackgroundColor(Qt::white);
  // Grows from its left edge between layout passes.
  barProgressLayer_->setAnchorPoint(QPointF(0, 0.5));
  barProgressLayer_->setBounds(QRectF(0, 0, 0.1 * track, 0.007 * H));
  barProgressLayer_->setCornerRadius(6);
  barProgressLayer_->setShadowColor(Qt::white);
  barProgressLayer_->setShadowOpacity(1);
  barProgressLayer_->setShadowOffset(QSizeF(0, 0));
  barProgressLayer_->setShadowRadius(4);
  constrain(barProgressLayer_, A::MinX, QStringLiteral("PlayPause"), A::MaxX, kBarGap);
  constrain(barProgressLayer_, A::MidY, QStringLiteral("PlayPause"), A::MidY, std::round(-0.015 * H));

  titleText_ = textLayer(QStringLiteral("title"), contentTitle_, kText, 0.038 * H, TextAlignment::Right);
  constrain(titleText_, A::MidX, QStringLiteral("barBackLayer"), A::MidX, -68);
  constrain(titleText_, A::MidY, QStringLiteral("Time_Start"), A::MidY);

  for (const LayerPtr& l : std::initializer_list<LayerPtr>{glyphsPlayPause_, timeStart_, timeEnd_, barBackLayer_,
                                                           barProgressLayer_, titleText_})
    barLayer_->addSublayer(l);
  layer()->addSublayer(barLayer_);
}

void OXVideoOSD::setupVolume() {
  volumeLayer_ = Layer::layer();
  volumeLayer_->setFrame(frame());
  volumeLayer_->setOpacity(0);
  volumeLayer_->setZPosition(2);
  volumeLayer_->setLayoutManager(ConstraintLayoutManager::layoutManager());
  const double h = frame().height(), b = 0.219 * h;
  constrain(volumeLayer_, A::MidX, kSuper, A::MidX);
  constrain(volumeLayer_, A::MidY, kSuper, A::MidY, 0.2 * h);

  volumeBackgroundBezel_ = Layer::layer();
  volumeBackgroundBezel_->setName(QStringLiteral("Background_Bezel"));
  volumeBackgroundBezel_->setBounds(QRectF(0, 0, b, b));
  volumeBackgroundBezel_->setBackgroundColor(QColor(0, 0, 0, 128));
  volumeBackgroundBezel_->setCornerRadius(0.0176 * h);
  volumeBackgroundBezel_->setMasksToBounds(true);
  constrain(volumeBackgroundBezel_, A::MidX, kSuper, A::MidX);
  constrain(volumeBackgroundBezel_, A::MidY, kSuper, A::MidY);

  volumeGlyph_ = textLayer(QStringLiteral("Volumen_Glyph"), QStringLiteral("3"), kGlyph, 1.1 * b, TextAlignment::Center);
  volumeGlyph_->setShadowColor(Qt::black);
  volumeGlyph_->setShadowRadius(5);
  volumeGlyph_->setShadowOpacity(1);
  volumeGlyph_->setShadowOffset(QSizeF(0, 0));
  constrain(volumeGlyph_, A::MidX, QStringLiteral("Background_Bezel"), A::MidX);
  constrain(volumeGlyph_, A::MidY, QStringLiteral("Background_Bezel"), A::MidY, 0.22 * b);

  const QRectF barBounds(0, 0, 0.8 * b, 0.1026642 * b);
  auto bar = [&](const QString& name, double z, const QColor& colour) {
    LayerPtr l = Layer::layer();
    l->setName(name);
    l->setZPosition(z);
    l->setBackgroundColor(colour);
    l->setBounds(barBounds);
    l->setBorderColor(Qt::white);
    l->setBorderWidth(3);
    l->setCornerRadius(0.05 * b);
    l->setMasksToBounds(true);
    return l;
  };
  volumeBarBackground_ = bar(QStringLiteral("Volume_Bar_Background"), 1, QColor(0, 0, 0, 128));
  volumeBarBorder_ = bar(QStringLiteral("Volume_Bar_Border"), 3, Qt::transparent);
  volumeBarRightEdge_ = bar(QStringLiteral("Volume_Bar_Right_Edge"), 2, Qt::white);
  volumeBarRightEdge_->setAnchorPoint(QPointF(0, 0));
  for (const LayerPtr& l : {volumeBarBackground_, volumeBarBorder_}) {
    constrain(l, A::MidX, QStringLiteral("Background_Bezel"), A::MidX);
    constrain(l, A::MinY, QStringLiteral("Background_Bezel"), A::MinY, 0.16 * b);
  }
  volumeBar_ = Layer::layer();
  volumeBar_->setName(QStringLiteral("Volume_Bar"));
  volumeBar_->setZPosition(2);
  volumeBar_->setBackgroundColor(Qt::white);
  volumeBar_->setAnchorPoint(QPointF(0, 0.5));
  volumeBar_->setBounds(barBounds);
  volumeBar_->setMask(volumeBarRightEdge_);
  constrain(volumeBar_, A::MinX, QStringLiteral("Volume_Bar_Background"), A::MinX);
  constrain(volumeBar_, A::MidY, QStringLiteral("Volume_Bar_Background"), A::MidY);

  for (const LayerPtr& l : std::initializer_list<LayerPtr>{volumeBackgroundBezel_, volumeGlyph_, volumeBarBackground_,
                                                           volumeBarBorder_, volumeBar_})
    volumeLayer_->addSublayer(l);
  layer()->addSublayer(volumeLayer_);
}

void OXVideoOSD::setupOptionsPanel() {
  const double X = 0.32 * frame().height();
  const QSizeF rollSize(X, 460);
  auto roll = [&](const LayoutManagerPtr& manager, double dx) {
    LayerPtr l = Layer::layer();
    l->setBounds(QRectF(QPointF(0, 0), rollSize));
    l->setLayoutManager(manager);
    l->setOpacity(0);
    constrain(l, A::MidX, kSuper, A::MidX, dx);
    constrain(l, A::MidY, kSuper, A::MidY);
    layer()->addSublayer(l);
    return l;
  };
  audioLayerContents_ = roll(RollLayout::layoutManagerWithImageSize(rollSize), -0.5 * X);
  subtitleLayerContents_ = roll(RollLayout::layoutManagerWithImageSize(rollSize), 0.5 * X);
  const QVariantMap parameters{{QStringLiteral("_textZero"), QStringLiteral("No delay")},
                               {QStringLiteral("textPrevious"), QStringLiteral("s. before")},
                               {QStringLiteral("textNext"), QStringLiteral("s. after")},
                               {QStringLiteral("step"), 0.1}};
  subtitleDelayLayerContents_ =
      roll(OXInfiniteRollLayout::layoutManagerWithImageSize(rollSize, parameters), 1.1 * X);

  auto title = [&](const char* key, double dx) {
    auto t = textLayer(QString(), QCoreApplication::translate("OXVideoOSD", key), kText, 38, TextAlignment::Center);
    t->setOpacity(0);
    constrain(t, A::MidX, kSuper, A::MidX, dx);
    constrain(t, A::MidY, kSuper, A::MidY, 180);
    layer()->addSublayer(t);
    return t;
  };
  audioTitle_ = title("Audio", -0.55 * X);
  subtitleTitle_ = title("Subtitle", 0.55 * X);
  subtitleDelayTitle_ = title("Subtitle delay", 1.1 * X);
}

LayerPtr OXVideoOSD::layerForTrack(const QString& text) {
  const QRectF b = layer()->bounds();
  LayerPtr holder = Layer::layer();
  holder->setBounds(QRectF(0, 0, 0.32 * b.width(), 0.5 * b.height()));
  holder->setLayoutManager(ConstraintLayoutManager::layoutManager());
  auto t = textLayer(QString(), text, kText, 52, TextAlignment::Center);
  t->setForegroundColor(Qt::black);
  constrain(t, A::MidX, kSuper, A::MidX);
  constrain(t, A::MidY, kSuper, A::MidY);
  holder->addSublayer(t);
  holder->setValue(QStringLiteral("__holderLayer"), QVariant::fromValue(LayerPtr(t)));
  return holder;
}
