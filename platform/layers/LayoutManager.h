#pragma once
#include <QSizeF>
#include <QString>
#include <memory>

namespace ox {

class Layer;

// Lays out the sublayers of the layers it is attached to; asked by the layer's layout pass.
class LayoutManager {
 public:
  virtual ~LayoutManager() = default;
  virtual void layoutSublayersOfLayer(Layer* layer) = 0;
  // The size a layer laid out by this manager would like; the bounds size unless the manager knows better.
  virtual QSizeF preferredSizeOfLayer(const Layer* layer) const;
  // Whether a pass keeps what it read of that key-value entry of the sublayers: a change of one bumps the layer's
  // sublayersVersion. None unless the manager says so.
  virtual bool keepsSublayerValue(const QString& key) const;
};

enum class ConstraintAttribute { MinX, MidX, MaxX, Width, MinY, MidY, MaxY, Height };

// attribute = source's attribute * scale + offset. The source is the sibling named `sourceName` or, for
// "superlayer", the superlayer (its bounds).
class Constraint {
 public:
  Constraint(ConstraintAttribute attribute, const QString& sourceName, ConstraintAttribute sourceAttribute,
             double scale = 1.0, double offset = 0.0);
  static Constraint constraintWithAttribute(ConstraintAttribute attribute, const QString& sourceName,
                                            ConstraintAttribute sourceAttribute, double scale = 1.0,
                                            double offset = 0.0) {
    return Constraint(attribute, sourceName, sourceAttribute, scale, offset);
  }
  ConstraintAttribute attribute() const { return attribute_; }
  QString sourceName() const { return sourceName_; }
  ConstraintAttribute sourceAttribute() const { return sourceAttribute_; }
  double scale() const { return scale_; }
  double offset() const { return offset_; }

 private:
  ConstraintAttribute attribute_;
  QString sourceName_;
  ConstraintAttribute sourceAttribute_;
  double scale_;
  double offset_;
};

// Places each sublayer by its constraints. A sublayer's attributes are those of its untransformed frame (its
// transform then applies about its anchor point); a sibling source is read through its frame, after the sibling
// itself has been placed. An axis with no size constraint keeps the layer's preferred size (a text layer's natural
// size); an axis with no position constraint keeps its place. A source name that names no sibling leaves the
// constraint out; a sibling met again while it is being placed (a cycle) is read as it stands. With several
// siblings of one name, the first in sublayer order counts.
class ConstraintLayoutManager : public LayoutManager {
 public:
  static std::shared_ptr<ConstraintLayoutManager> layoutManager();
  void layoutSublayersOfLayer(Layer* layer) override;
};

}  // namespace ox
