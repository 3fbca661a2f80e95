#pragma once
#include <QString>

namespace ox {

// The program's own resources: the fonts and pictures of resources/, compiled into the program (linked through
// ox_resources) and found by file name.
class Bundle {
 public:
  // The resource "name.type" (type may be empty when the name has its extension); empty when there is none.
  static QString pathForResource(const QString& name, const QString& type = QString());
};

}  // namespace ox
