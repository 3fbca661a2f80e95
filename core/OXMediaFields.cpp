#include "core/OXMediaFields.h"

#include "core/OXRecordValues.h"

void OXMediaFields::readMediaFields(const QVariantMap& from) {
  year_ = oxvalue::integer(from.value(QStringLiteral("year")));
  runtime_ = oxvalue::integer(from.value(QStringLiteral("runtime")));
  rating_ = oxvalue::floating(from.value(QStringLiteral("rating")));
  soundtrack_ = oxvalue::url(from.value(QStringLiteral("soundtrack")));
  poster_ = oxvalue::url(from.value(QStringLiteral("poster")));
  backdrops_ = oxvalue::url(from.value(QStringLiteral("image")));
}
