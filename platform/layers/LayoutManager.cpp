#include "platform/layers/LayoutManager.h"

#include <functional>
#include <optional>
#include <unordered_map>

#include "platform/layers/Layer.h"

namespace ox {
namespace {

double attributeOf(const QRectF& r, ConstraintAttribute a) {
  switch (a) {
    case ConstraintAttribute::MinX: return r.left();
    case ConstraintAttribute::MidX: return r.center().x();
    case ConstraintAttribute::MaxX: return r.right();
    case ConstraintAttribute::Width: return r.width();
    case ConstraintAttribute::MinY: return r.top();  // y up: QRectF's top is the smaller y
    case ConstraintAttribute::MidY: return r.center().y();
    case ConstraintAttribute::MaxY: return r.bottom();
    case ConstraintAttribute::Height: return r.height();
  }
  return 0;
}

struct Axis {
  std::optional<double> min, mid, max, size;
};

// Resolves one axis from its constraints; `origin` and `size` come in as the current values.
void resolve(const Axis& a, double& origin, double& size) {
  const int positions = int(a.min.has_value()) + int(a.mid.has_value()) + int(a.max.has_value());
  if (a.size) size = *a.size;
  if (!a.size && positions >= 2) {
    if (a.min && a.max) {
      origin = *a.min;
      size = *a.max - *a.min;
    } else if (a.min && a.mid) {
      origin = *a.min;
      size = 2 * (*a.mid - *a.min);
    } else {
      size = 2 * (*a.max - *a.mid);
      origin = *a.max - size;
    }
  } else if (a.min) {
    origin = *a.min;
  } else if (a.mid) {
    origin = *a.mid - size / 2;
  } else if (a.max) {
    origin = *a.max - size;
  }
  if (!(size >= 0)) size = 0;
}

}  // namespace

Constraint::Constraint(ConstraintAttribute attribute, const QString& sourceName, ConstraintAttribute sourceAttribute,
                       double scale, double offset)
    : attribute_(attribute), sourceName_(sourceName), sourceAttribute_(sourceAttribute), scale_(scale),
      offset_(offset) {}

std::shared_ptr<ConstraintLayoutManager> ConstraintLayoutManager::layoutManager() {
  return std::make_shared<ConstraintLayoutManager>();
}

void ConstraintLayoutManager::layoutSublayersOfLayer(Layer* layer) {
  if (!layer) return;
  const std::vector<LayerPtr> subs = layer->sublayers();
  const QString superName = QStringLiteral("superlayer");
  std::unordered_map<Layer*, int> state;  // 1 being placed, 2 placed

  std::function<void(Layer*)> place = [&](Layer* l) {
    int& st = state[l];
    if (st != 0) return;
    st = 1;
    for (const auto& c : l->constraints()) {
      if (c.sourceName() == superName) continue;
      LayerPtr src = layer->sublayerNamed(c.sourceName());
      if (src && src.get() != l) place(src.get());
    }
    Axis x, y;
    for (const auto& c : l->constraints()) {
      QRectF source;
      if (c.sourceName() == superName) {
        source = layer->bounds();
      } else {
        LayerPtr src = layer->sublayerNamed(c.sourceName());
        if (!src || src.get() == l) continue;
        source = src->frame();
      }
      const double v = attributeOf(source, c.sourceAttribute()) * c.scale() + c.offset();
      switch (c.attribute()) {
        case ConstraintAttribute::MinX: x.min = v; break;
        case ConstraintAttribute::MidX: x.mid = v; break;
        case ConstraintAttribute::MaxX: x.max = v; break;
        case ConstraintAttribute::Width: x.size = v; break;
        case ConstraintAttribute::MinY: y.min = v; break;
        case ConstraintAttribute::MidY: y.mid = v; break;
        case ConstraintAttribute::MaxY: y.max = v; break;
        case ConstraintAttribute::Height: y.size = v; break;
      }
    }
    const QSizeF preferred = l->preferredFrameSize();
    const QRectF b = l->bounds();
    const QPointF ap = l->anchorPoint(), pos = l->position();
    double w = preferred.width(), h = preferred.height();
    double ox = pos.x() - ap.x() * b.width(), oy = pos.y() - ap.y() * b.height();
    resolve(x, ox, w);
    resolve(y, oy, h);
    if (b.size() != QSizeF(w, h)) l->setBounds(QRectF(b.topLeft(), QSizeF(w, h)));
    const QPointF np(ox + ap.x() * w, oy + ap.y() * h);
    if (np != pos) l->setPosition(np);
    st = 2;
  };

  for (const auto& s : subs)
    if (!s->constraints().empty()) place(s.get());
}

}  // namespace ox
