#include "helper/OXDragDropView.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QPainter>
#include <algorithm>

#include "helper/OXDragDropViewDelegate.h"
#include "platform/foundation/FileName.h"
#include "scanner/OXCoreLibrary.h"

OXDragDropView::OXDragDropView(QWidget* parent) : QWidget(parent) { setAcceptDrops(true); }

void OXDragDropView::setDragZone(bool dragZone) { dragZone_ = dragZone; }

void OXDragDropView::setHighlighted(bool highlighted) {
  setDragZone(highlighted);
  update();
}

void OXDragDropView::dragEnterEvent(QDragEnterEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  // A drag of text or images holds no folder at all: it is refused like one that holds a file.
  const bool folders = !urls.isEmpty() && std::all_of(urls.begin(), urls.end(), [](const QUrl& url) {
    return ox::isFolderAtPath(ox::pathOfFileURL(url));
  });
  if (!folders) {
    setHighlighted(false);
    event->ignore();
    return;
  }
  setHighlighted(true);
  if (delegate_) delegate_->draggingEntered();
  event->acceptProposedAction();
}

void OXDragDropView::dragMoveEvent(QDragMoveEvent* event) {
  location_ = mapTo(window(), event->position());
  event->setDropAction(Qt::CopyAction);
  event->accept();
}

void OXDragDropView::dragLeaveEvent(QDragLeaveEvent* event) {
  setHighlighted(false);
  if (delegate_) delegate_->draggingExited();
  event->accept();
}

void OXDragDropView::dropEvent(QDropEvent* event) {
  const QMimeData* data = event->mimeData();
  if (data->hasUrls())
    OXCoreLibrary::shareCoreLibrary()->addURLsToRootList(data->urls(), location_.x() > kShowSideX ? 3 : 1);
  location_ = QPointF();
  setHighlighted(false);
  if (delegate_) delegate_->performDragOperation();
  event->setDropAction(Qt::CopyAction);
  event->accept();
}

void OXDragDropView::paintEvent(QPaintEvent*) {
  if (!dragZone_) return;
  // The tables cover the middle: the zone shows as a ring in the margin around them.
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(58, 130, 246), 3));
  p.setBrush(QColor(58, 130, 246, 28));
  p.drawRoundedRect(QRectF(rect()).adjusted(2, 2, -2, -2), 8, 8);
}
