#pragma once
#include <QWidget>

namespace ox {

// Controls found in a view by number, as interface files tag them: the "tag" property of a widget.
void setTag(QWidget* view, int tag);
int tagOf(const QWidget* view);
// `view` itself or the first of its descendants tagged `tag`; none when there is none.
QWidget* viewWithTag(QWidget* view, int tag);
template <class T>
T* viewWithTag(QWidget* view, int tag) {
  return qobject_cast<T*>(viewWithTag(view, tag));
}

}  // namespace ox
