#include "platform/layers/TextLayer.h"

#include <QFontMetricsF>
#include <QPainter>
#include <cmath>

#include "platform/layers/Fonts.h"

namespace ox {

std::shared_ptr<TextLayer> TextLayer::layer() { return std::shared_ptr<TextLayer>(new TextLayer()); }

void TextLayer::textChanged() {
  contentChanged();
  superlayerNeedsLayout();  // the natural size may have changed
}

void TextLayer::setString(const QString& s) {
  if (s == string_) return;
  string_ = s;
  textChanged();
}
void TextLayer::setFont(const QString& postScriptName) {
  font_ = postScriptName;
  textChanged();
}
void TextLayer::setFontSize(double size) {
  fontSize_ = std::isfinite(size) && size > 0 ? size : 0;
  textChanged();
}
void TextLayer::setForegroundColor(const QColor& c) {
  changeAnimatable(LayerKey::ForegroundColor, c);
  contentChanged();
}
void TextLayer::setAlignmentMode(TextAlignment a) {
  alignment_ = a;
  contentChanged();
}
void TextLayer::setTruncationMode(TruncationMode t) {
  truncation_ = t;
  contentChanged();
}
void TextLayer::setWrapped(bool w) {
  wrapped_ = w;
  textChanged();
}

QSizeF TextLayer::preferredFrameSize() const {
  if (string_.isEmpty() || fontSize_ <= 0) return QSizeF(0, 0);
  const QFontMetricsF fm(Fonts::font(font_, fontSize_));
  const QRectF r = fm.boundingRect(QRectF(0, 0, 1e6, 1e6), Qt::AlignLeft | Qt::AlignTop, string_);
  return QSizeF(std::ceil(r.width()), std::ceil(std::max(r.height(), fm.height())));
}

QImage TextLayer::drawnContents(double scale, const LayerState& shown) const {
  const QSizeF size = model_.bounds.size();
  const QColor color = shown.foregroundColor.isValid() ? shown.foregroundColor : QColor(Qt::transparent);
  if (string_.isEmpty() || fontSize_ <= 0 || size.isEmpty() || color.alpha() == 0) return {};
  if (!cache_.isNull() && cacheVersion_ == contentVersion() && cacheScale_ == scale && cacheColor_ == color.rgba() &&
      cacheSize_ == size)
    return cache_;
  const int w = int(std::ceil(std::min(size.width() * scale, 8192.0)));
  const int h = int(std::ceil(std::min(size.height() * scale, 8192.0)));
  if (w <= 0 || h <= 0) return {};
  QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::transparent);
  QPainter p(&img);
  p.setRenderHint(QPainter::TextAntialiasing);
  p.setRenderHint(QPainter::Antialiasing);
  const QFont f = Fonts::font(font_, fontSize_ * scale);
  p.setFont(f);
  p.setPen(color);
  int flags = Qt::AlignTop;
  switch (alignment_) {
    case TextAlignment::Right: flags |= Qt::AlignRight; break;
    case TextAlignment::Center: flags |= Qt::AlignHCenter; break;
    case TextAlignment::Justified: flags |= Qt::AlignJustify; break;
    default: flags |= Qt::AlignLeft; break;
  }
  QString text = string_;
  if (wrapped_) {
    flags |= Qt::TextWordWrap;
  } else if (truncation_ != TruncationMode::None && !text.contains(QLatin1Char('\n'))) {
    const Qt::TextElideMode mode = truncation_ == TruncationMode::Start    ? Qt::ElideLeft
                                   : truncation_ == TruncationMode::Middle ? Qt::ElideMiddle
                                                                            : Qt::ElideRight;
    text = QFontMetricsF(f).elidedText(text, mode, w);
  }
  p.drawText(QRectF(0, 0, w, h), flags, text);
  p.end();
  cache_ = img;
  cacheVersion_ = contentVersion();
  cacheScale_ = scale;
  cacheColor_ = color.rgba();
  cacheSize_ = size;
  return cache_;
}

}  // namespace ox
