#include "core/OXArchiveClasses.h"

#include <mutex>

#include "core/OXEpisode.h"
#include "core/OXFile.h"
#include "core/OXMediaFields.h"
#include "core/OXMovie.h"
#include "core/OXRecordValues.h"
#include "core/OXShow.h"

namespace {

QVariant textObject(const QString& s) { return s.isNull() ? QVariant() : QVariant(s); }
QVariant dataObject(const QByteArray& b) { return b.isNull() ? QVariant() : QVariant(b); }
QVariant urlObject(const QUrl& u) { return u.isEmpty() ? QVariant() : QVariant(u); }
QVariant fileObject(const std::shared_ptr<OXFile>& f) { return f ? ox::wrapCoding(f) : QVariant(); }
QVariant listObject(const QStringList& l) {
  QVariantList out;
  out.reserve(l.size());
  for (const QString& s : l) out << s;
  return out;
}

quint64 unsignedInt(const ox::Decoder& d, const QString& key) { return quint64(d.decodeInt64(key)); }
QStringList stringList(const ox::Decoder& d, const QString& key) {
  QStringList out;
  for (const QVariant& v : d.decodeList(key)) {
    if (v.typeId() == QMetaType::QString)
      out << v.toString();
    else if (v.isValid())
      d.noteMismatch(key);
  }
  return out;
}

}  // namespace

// ---- OXFile -----------------------------------------------------------------------------------------------

void OXFile::encodeWithCoder(ox::Coder& c) const {
  std::lock_guard lock(mutex_);
  c.encodeObject(dataObject(partialDataCRC32_), QStringLiteral("partialDataCRC32"));
  c.encodeObject(dataObject(partialDataMD5_), QStringLiteral("partialDataMD5"));
  c.encodeObject(dataObject(partialDataSHA1_), QStringLiteral("partialDataSHA1"));
  c.encodeObject(textObject(filePath_), QStringLiteral("filePath"));
  c.encodeObject(textObject(fulltext_), QStringLiteral("fulltext"));
  c.encodeObject(textObject(sizeStr_), QStringLiteral("sizeStr"));
  c.encodeInt64(type_, QStringLiteral("type"));
  c.encodeBool(isHashDataEnable_, QStringLiteral("isHashDataEnable"));
}

std::shared_ptr<OXFile> OXFile::initWithCoder(const ox::Decoder& d) {
  auto f = std::make_shared<OXFile>();
  f->partialDataCRC32_ = d.decodeData(QStringLiteral("partialDataCRC32"));
  f->partialDataMD5_ = d.decodeData(QStringLiteral("partialDataMD5"));
  f->partialDataSHA1_ = d.decodeData(QStringLiteral("partialDataSHA1"));
  f->filePath_ = d.decodeString(QStringLiteral("filePath"));
  f->fulltext_ = d.decodeString(QStringLiteral("fulltext"));
  f->sizeStr_ = d.decodeString(QStringLiteral("sizeStr"));
  const qint64 type = d.decodeInt64(QStringLiteral("type"));
  if (type != qint32(type)) d.noteMismatch(QStringLiteral("type"));
  f->type_ = qint32(type);
  f->isHashDataEnable_ = d.decodeBool(QStringLiteral("isHashDataEnable"));
  // Samples that are not whole (a damaged archive, or one written after a failed read) are taken afresh.
  const auto whole = [](const QByteArray& b) { return quint64(b.size()) == kSampleLength; };
  if (f->isHashDataEnable_ && !(whole(f->partialDataCRC32_) && whole(f->partialDataMD5_) && whole(f->partialDataSHA1_)))
    f->isHashDataEnable_ = false;
  return f;
}

// ---- OXMediaFields (shared by OXMovie and OXShow) ---------------------------------------------------------

void OXMediaFields::encodeMediaFields(ox::Coder& c) const {
  c.encodeObject(textObject(title_), QStringLiteral("title"));
  c.encodeInt64(qint64(year_), QStringLiteral("year"));
  c.encodeInt64(qint64(runtime_), QStringLiteral("runtime"));
  c.encodeObject(listObject(genres_), QStringLiteral("genres"));
  c.encodeFloat(rating_, QStringLiteral("rating"));
  c.encodeObject(urlObject(soundtrack_), QStringLiteral("soundtrack"));
  c.encodeObject(urlObject(poster_), QStringLiteral("poster"));
  c.encodeObject(urlObject(backdrops_), QStringLiteral("backdrops"));
  c.encodeInt64(qint64(popularity_), QStringLiteral("popularity"));
  c.encodeFloat(score_, QStringLiteral("score"));
}

void OXMediaFields::decodeMediaFields(const ox::Decoder& d) {
  title_ = d.decodeString(QStringLiteral("title"));
  year_ = unsignedInt(d, QStringLiteral("year"));
  runtime_ = unsignedInt(d, QStringLiteral("runtime"));
  genres_ = stringList(d, QStringLiteral("genres"));
  rating_ = d.decodeFloat(QStringLiteral("rating"));
  soundtrack_ = d.decodeUrl(QStringLiteral("soundtrack"));
  poster_ = d.decodeUrl(QStringLiteral("poster"));
  backdrops_ = d.decodeUrl(QStringLiteral("backdrops"));
  popularity_ = unsignedInt(d, QStringLiteral("popularity"));
  score_ = d.decodeFloat(QStringLiteral("score"));
}

// ---- OXMovie ----------------------------------------------------------------------------------------------

void OXMovie::encodeWithCoder(ox::Coder& c) const {
  c.encodeObject(textObject(imdb_), QStringLiteral("imdb"));
  encodeMediaFields(c);
  c.encodeObject(fileObject(file()), QStringLiteral("file"));
  c.encodeObject(listObject(links()), QStringLiteral("links"));
  c.encodeObject(listObject(trailers_), QStringLiteral("trailers"));
}

std::shared_ptr<OXMovie> OXMovie::initWithCoder(const ox::Decoder& d) {
  std::shared_ptr<OXMovie> m(new OXMovie);
  m->imdb_ = d.decodeString(QStringLiteral("imdb"));
  m->decodeMediaFields(d);
  m->file_ = d.decodeCoding<OXFile>(QStringLiteral("file"));
  m->links_ = stringList(d, QStringLiteral("links"));
  m->trailers_ = stringList(d, QStringLiteral("trailers"));
  return m;
}

// ---- OXShow -----------------------------------------------------------------------------------------------

void OXShow::encodeWithCoder(ox::Coder& c) const {
  c.encodeInt64(qint64(showID_), QStringLiteral("showID"));
  encodeMediaFields(c);
}

std::shared_ptr<OXShow> OXShow::initWithCoder(const ox::Decoder& d) {
  std::shared_ptr<OXShow> s(new OXShow);
  s->showID_ = unsignedInt(d, QStringLiteral("showID"));
  s->decodeMediaFields(d);
  return s;
}

// ---- OXEpisode --------------------------------------------------------------------------------------------

void OXEpisode::encodeWithCoder(ox::Coder& c) const {
  c.encodeInt64(qint64(episodeID_), QStringLiteral("episodeID"));
  c.encodeObject(textObject(imageThumb_), QStringLiteral("imageThumb"));
  c.encodeObject(textObject(title_), QStringLiteral("title"));
  c.encodeInt64(qint64(showID_), QStringLiteral("showID"));
  c.encodeInt64(qint64(episodeNumber_), QStringLiteral("episodeNumber"));
  c.encodeInt64(qint64(seasonNumber_), QStringLiteral("seasonNumber"));
  c.encodeObject(fileObject(file()), QStringLiteral("file"));
  c.encodeObject(listObject(links()), QStringLiteral("links"));
}

std::shared_ptr<OXEpisode> OXEpisode::initWithCoder(const ox::Decoder& d) {
  std::shared_ptr<OXEpisode> e(new OXEpisode);
  e->episodeID_ = unsignedInt(d, QStringLiteral("episodeID"));
  e->imageThumb_ = d.decodeString(QStringLiteral("imageThumb"));
  e->title_ = d.decodeString(QStringLiteral("title"));
  e->showID_ = unsignedInt(d, QStringLiteral("showID"));
  e->episodeNumber_ = unsignedInt(d, QStringLiteral("episodeNumber"));
  e->seasonNumber_ = unsignedInt(d, QStringLiteral("seasonNumber"));
  e->file_ = d.decodeCoding<OXFile>(QStringLiteral("file"));
  e->links_ = stringList(d, QStringLiteral("links"));
  return e;
}

// ---- registration -----------------------------------------------------------------------------------------

void registerCoreArchiveClasses() {
  static std::once_flag once;
  std::call_once(once, [] {
    ox::registerArchiveClass(QStringLiteral("OXFile"), [](const ox::Decoder& d) { return OXFile::initWithCoder(d); });
    ox::registerArchiveClass(QStringLiteral("OXMovie"), [](const ox::Decoder& d) { return OXMovie::initWithCoder(d); });
    ox::registerArchiveClass(QStringLiteral("OXShow"), [](const ox::Decoder& d) { return OXShow::initWithCoder(d); });
    ox::registerArchiveClass(QStringLiteral("OXEpisode"),
                             [](const ox::Decoder& d) { return OXEpisode::initWithCoder(d); });
  });
}
