#pragma once
#include <QColor>
#include <QHash>
#include <QImage>
#include <QPainter>
#include <QMetaType>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QVariant>
#include <memory>
#include <variant>
#include <vector>

#include "platform/layers/SubtreeExtent.h"
#include "platform/layers/TimingFunction.h"
#include "platform/layers/Transform3D.h"

namespace ox {

class Layer;
class LayoutManager;
namespace detail {
struct LayerAccess;
}
class Constraint;
using LayerPtr = std::shared_ptr<Layer>;
using LayoutManagerPtr = std::shared_ptr<LayoutManager>;

// How a contents image fills the bounds.
enum class Gravity { Resize, ResizeAspect, ResizeAspectFill, Center };

// The animatable properties.
enum class LayerKey : int {
  Bounds,
  Position,
  ZPosition,
  AnchorPoint,
  Transform,
  SublayerTransform,
  Opacity,
  BackgroundColor,
  BorderColor,
  BorderWidth,
  CornerRadius,
  ShadowColor,
  ShadowOpacity,
  ShadowOffset,
  ShadowRadius,
  ForegroundColor,
  Count
};

// Every value a layer shows, as one plain record: the model values, or the presentation values at an instant.
struct LayerState {
  QRectF bounds;
  QPointF position;
  double zPosition = 0;
  QPointF anchorPoint{0.5, 0.5};
  Transform3D transform;
  Transform3D sublayerTransform;
  double opacity = 1;
  bool hidden = false;
  bool masksToBounds = false;
  QColor backgroundColor;  // invalid: none
  QColor borderColor{0, 0, 0};
  double borderWidth = 0;
  double cornerRadius = 0;
  QColor shadowColor{0, 0, 0};
  double shadowOpacity = 0;
  double shadowRadius = 3;
  QSizeF shadowOffset{0, -3};
  QColor foregroundColor{255, 255, 255};  // text layers

  // The frame in the superlayer: the bounding box of the bounds carried through the transform about the anchor
  // point and placed at the position (perspective divided).
  QRectF frame() const;
};

using AnimValue = std::variant<double, QPointF, QSizeF, QRectF, QColor, Transform3D>;

struct LayerAnimation {
  LayerKey key;
  AnimValue from;
  AnimValue to;
  double beginTime = 0;
  double duration = 0;
  TimingFunction timing;
  quint64 id = 0;
  double endTime() const { return beginTime + duration; }
  // The animated value at time t (clamped to the animation's span).
  AnimValue valueAt(double t) const;
};

// A layer of the scene tree, in the platform's geometry: origin bottom left, y growing upward. Sublayers are owned
// by their superlayer; a layer is reached through shared pointers. Main thread only.
//
// Model values change at once when set. Inside a presented tree (one that has been flushed or drawn once), setting
// an animatable property also starts an implicit animation from the value on screen to the new one, with the
// duration and pacing of the innermost open transaction (0.25 s and the default curve when none says otherwise);
// actions disabled, or a duration of 0, make the change immediate on screen too.
class Layer : public std::enable_shared_from_this<Layer> {
 public:
  static LayerPtr layer();
  virtual ~Layer();
  Layer(const Layer&) = delete;
  Layer& operator=(const Layer&) = delete;

  // --- geometry
  QRectF bounds() const { return model_.bounds; }
  void setBounds(const QRectF& r);
  QPointF position() const { return model_.position; }
  void setPosition(const QPointF& p);
  double zPosition() const { return model_.zPosition; }
  void setZPosition(double z);
  QPointF anchorPoint() const { return model_.anchorPoint; }
  void setAnchorPoint(const QPointF& p);
  QRectF frame() const { return model_.frame(); }
  // Sets the bounds size and the position so that the untransformed layer covers `r` in its superlayer.
  void setFrame(const QRectF& r);
  Transform3D transform() const { return model_.transform; }
  void setTransform(const Transform3D& t);
  Transform3D sublayerTransform() const { return model_.sublayerTransform; }
  void setSublayerTransform(const Transform3D& t);

  // --- appearance
  double opacity() const { return model_.opacity; }
  void setOpacity(double o);
  bool isHidden() const { return model_.hidden; }
  void setHidden(bool h);
  bool masksToBounds() const { return model_.masksToBounds; }
  void setMasksToBounds(bool m);
  LayerPtr mask() const { return mask_; }
  void setMask(const LayerPtr& m);
  QColor backgroundColor() const { return model_.backgroundColor; }
  void setBackgroundColor(const QColor& c);
  QColor borderColor() const { return model_.borderColor; }
  void setBorderColor(const QColor& c);
  double borderWidth() const { return model_.borderWidth; }
  void setBorderWidth(double w);
  double cornerRadius() const { return model_.cornerRadius; }
  void setCornerRadius(double r);
  QColor shadowColor() const { return model_.shadowColor; }
  void setShadowColor(const QColor& c);
  double shadowOpacity() const { return model_.shadowOpacity; }
  void setShadowOpacity(double o);
  double shadowRadius() const { return model_.shadowRadius; }
  void setShadowRadius(double r);
  QSizeF shadowOffset() const { return model_.shadowOffset; }
  void setShadowOffset(const QSizeF& o);

  // --- contents
  QImage contents() const { return contents_; }
  void setContents(const QImage& image);
  Gravity contentsGravity() const { return gravity_; }
  void setContentsGravity(Gravity g);
  double contentsScale() const { return contentsScale_; }
  void setContentsScale(double s);

  QString name() const { return name_; }
  void setName(const QString& n);

  // --- key-value entries: numbers, texts, layers (QVariant::fromValue(LayerPtr)), records
  QVariant value(const QString& key) const;
  void setValue(const QString& key, const QVariant& v);
  LayerPtr layerValue(const QString& key) const;

  // --- tree
  const std::vector<LayerPtr>& sublayers() const { return sublayers_; }
  // Bumped whenever a sublayer comes or goes or changes an entry that the layout manager keeps between passes
  // (LayoutManager::keepsSublayerValue), so that it knows when to read thousands of sublayers again.
  quint64 sublayersVersion() const { return sublayersVersion_; }
  LayerPtr superlayer() const { return superlayer_.lock(); }
  void addSublayer(const LayerPtr& l);
  void insertSublayer(const LayerPtr& l, std::size_t index);
  void removeFromSuperlayer();
  LayerPtr sublayerNamed(const QString& name) const;  // the first, in sublayer order

  // --- layout
  LayoutManagerPtr layoutManager() const { return layoutManager_; }
  void setLayoutManager(const LayoutManagerPtr& m);
  const std::vector<Constraint>& constraints() const;
  void addConstraint(const Constraint& c);
  void setConstraints(const std::vector<Constraint>& c);
  void setNeedsLayout();
  bool needsLayout() const { return needsLayout_; }
  // Lays out this layer's tree, from its root, wherever a layer was marked.
  void layoutIfNeeded();
  // Lays out the sublayers now: the layout manager's pass, if any.
  virtual void layoutSublayers();
  // The size the layer would like in its superlayer's layout: the layout manager's answer when it has one,
  // else the bounds size (text layers answer their text's natural size).
  virtual QSizeF preferredFrameSize() const;

  // --- animation
  const LayerState& model() const { return model_; }
  // The values on screen at time t (LayerClock time).
  LayerState presentation(double t) const;
  LayerState presentation() const;
  const std::vector<LayerAnimation>& animations() const { return animations_; }
  bool hasAnimationsAfter(double t) const;
  void removeAllAnimations();
  // Whether implicit animations apply: true once the layer has been through a flush or a drawing.
  bool isPresented() const;

  // Bumped on every change that alters what the layer itself draws (contents, text, colours...).
  quint64 contentVersion() const { return contentVersion_; }
  // Drawn content of its own (text), rendered at the model bounds for `scale` pixels per point with the
  // presentation values `shown`; null when the layer draws only its background and contents image. The subclass
  // caches it.
  virtual QImage drawnContents(double scale, const LayerState& shown) const;
  // Vector content of its own (gradients), painted in the layer's bounds with y growing downward.
  virtual void drawInContext(QPainter& painter, const LayerState& shown) const;
  void setNeedsDisplay();

  quint64 uniqueId() const { return uid_; }

 protected:
  Layer();
  // Sets one animatable field and starts the implicit animation it calls for.
  void changeAnimatable(LayerKey key, const AnimValue& value);
  void contentChanged();
  void superlayerNeedsLayout();
  // Something that decides where this tree draws changed: the renderer's box of it, and of every tree holding it,
  // is stale.
  void geometryChanged();
  LayerState model_;

 private:
  friend struct detail::LayerAccess;
  friend class detail::SubtreeExtent;
  void markSubtreeFlag();
  void layoutTree();
  void dropEndedAnimations(double now);

  std::vector<LayerPtr> sublayers_;
  std::weak_ptr<Layer> superlayer_;
  LayerPtr mask_;
  QImage contents_;
  Gravity gravity_ = Gravity::Resize;
  double contentsScale_ = 1.0;
  QString name_;
  // A handful a layer at most: a list costs a tenth of a hash's first allocation, for each of thousands of posters.
  std::vector<std::pair<QString, QVariant>> values_;
  const QVariant* find(const QString& key) const;
  LayoutManagerPtr layoutManager_;
  std::unique_ptr<std::vector<Constraint>> constraints_;
  std::vector<LayerAnimation> animations_;
  quint32 animatedKeys_ = 0;  // a bit per LayerKey with an animation above, over or not
  bool needsLayout_ = false;
  bool subtreeNeedsLayout_ = false;
  quint64 createdGeneration_ = 0;
  quint64 contentVersion_ = 1;
  quint64 sublayersVersion_ = 0;
  quint64 uid_ = 0;
  detail::SubtreeExtent extent_;  // the renderer's, kept here so a pass over thousands of layers stays in them
};

// Reads and writes one animatable field of a state record.
AnimValue stateValue(const LayerState& s, LayerKey key);
void setStateValue(LayerState& s, LayerKey key, const AnimValue& v);
AnimValue interpolateValue(const AnimValue& from, const AnimValue& to, double p);
// Exact equality (Qt compares points, sizes and rectangles with a tolerance).
bool sameValue(const AnimValue& a, const AnimValue& b);

}  // namespace ox

Q_DECLARE_METATYPE(ox::LayerPtr)
