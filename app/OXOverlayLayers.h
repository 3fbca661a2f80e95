#pragma once
#include <QSizeF>
#include <QString>
#include <memory>

#include "platform/layers/Layer.h"
#include "platform/layers/TextLayer.h"
#include "platform/ui/View.h"
#include "platform/ui/Window.h"

// What the full-screen overlays (options list, alert, resume and two-option panels) share: the dimmed base layer,
// the vignette, the text rows, the highlight of a chosen row and the closing fade.
namespace OXOverlay {

// The opacity of a row that is not chosen.
inline constexpr double kDimmedOpacity = 0.65;
// The text face the browsing views register at start.
inline constexpr const char* kFont = "oxfont-Regular";

// Hosts a new layer in the view: black at `alpha`, laid out by constraints; answers it.
ox::LayerPtr hostBaseLayer(ox::View& view, double alpha);
// The picture "PanelResumeVignette.png" at `size`, centred on its superlayer.
ox::LayerPtr vignetteLayer(const QSizeF& size);
// One line of white, centred text at `fontSize` points in the text face, drawn at the main screen's scale and
// sized to its text.
std::shared_ptr<ox::TextLayer> textRow(const QString& text, double fontSize);
// The chosen row at full opacity and size, any other at opacity 0.65 and `dimmedScale` (the caller opens the
// transaction that animates it).
void setRowChosen(const ox::LayerPtr& row, bool chosen, double dimmedScale);
void centreHorizontally(const ox::LayerPtr& layer, const QString& source = QStringLiteral("superlayer"));
// The row's vertical middle `offset` points above the middle of `source`.
void placeMiddle(const ox::LayerPtr& layer, double offset, const QString& source = QStringLiteral("superlayer"));
// Fades the window out through its animator and closes it 0.3 s later; the window is kept until then. Nothing
// for a view that is in no window.
void fadeOutAndClose(const std::shared_ptr<ox::Window>& window);

}  // namespace OXOverlay
