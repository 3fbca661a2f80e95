#include "helper/OXSourceTableCellView.h"

#include "helper/OXDragDropView.h"
#include "platform/foundation/Log.h"

OXSourceTableCellView::OXSourceTableCellView(QWidget* parent) : OXTableCellViewHover(parent) {}

void OXSourceTableCellView::draggingEntered() { ox::log(QStringLiteral("draggingEntered")); }

void OXSourceTableCellView::draggingExited() { ox::log(QStringLiteral("draggingExited")); }

void OXSourceTableCellView::performDragOperation() { ox::log(QStringLiteral("performDragOperation")); }
