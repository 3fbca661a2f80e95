#include "platform/ui/ViewTag.h"

namespace ox {

namespace {
const char* const kTagProperty = "tag";
}  // namespace

void setTag(QWidget* view, int tag) {
  if (view) view->setProperty(kTagProperty, tag);
}

int tagOf(const QWidget* view) { return view ? view->property(kTagProperty).toInt() : 0; }

QWidget* viewWithTag(QWidget* view, int tag) {
  if (!view) return nullptr;
  if (tagOf(view) == tag) return view;
  for (QWidget* child : view->findChildren<QWidget*>())
    if (tagOf(child) == tag) return child;
  return nullptr;
}

}  // namespace ox
