#pragma once
#include <QImage>

#include "platform/layers/Layer.h"

namespace ox {

enum class TextAlignment { Natural, Left, Right, Center, Justified };
enum class TruncationMode { None, Start, End, Middle };

// A layer that draws one text in one font, from the top of its bounds. Its preferred size is the text's natural
// size, so constraint layout sizes it to fit.
class TextLayer : public Layer {
 public:
  static std::shared_ptr<TextLayer> layer();

  QString string() const { return string_; }
  void setString(const QString& s);
  QString font() const { return font_; }  // PostScript name
  void setFont(const QString& postScriptName);
  double fontSize() const { return fontSize_; }
  void setFontSize(double size);
  QColor foregroundColor() const { return model_.foregroundColor; }
  void setForegroundColor(const QColor& c);  // animatable
  TextAlignment alignmentMode() const { return alignment_; }
  void setAlignmentMode(TextAlignment a);
  TruncationMode truncationMode() const { return truncation_; }
  void setTruncationMode(TruncationMode t);
  bool isWrapped() const { return wrapped_; }
  void setWrapped(bool w);

  QSizeF preferredFrameSize() const override;
  QImage drawnContents(double scale, const LayerState& shown) const override;

 protected:
  TextLayer() = default;

 private:
  void textChanged();
  QString string_;
  QString font_;
  double fontSize_ = 36;
  TextAlignment alignment_ = TextAlignment::Natural;
  TruncationMode truncation_ = TruncationMode::None;
  bool wrapped_ = false;
  mutable QImage cache_;
  mutable quint64 cacheVersion_ = 0;
  mutable double cacheScale_ = 0;
  mutable QRgb cacheColor_ = 0;
  mutable QSizeF cacheSize_;
};

}  // namespace ox
