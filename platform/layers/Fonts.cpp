#include "platform/layers/Fonts.h"

#include <QFile>
#include <QFontDatabase>
#include <QHash>
#include <QtEndian>
#include <cmath>

#include "platform/foundation/Info.h"
#include "platform/foundation/Log.h"

namespace ox {
namespace {

struct Face {
  QString family;
  QString style;
};

QHash<QString, Face>& registry() {
  static QHash<QString, Face> r;
  return r;
}

QHash<QByteArray, int>& registeredData() {
  static QHash<QByteArray, int> r;
  return r;
}

quint16 be16(const QByteArray& d, qsizetype at) {
  return qFromBigEndian<quint16>(reinterpret_cast<const uchar*>(d.constData() + at));
}
quint32 be32(const QByteArray& d, qsizetype at) {
  return qFromBigEndian<quint32>(reinterpret_cast<const uchar*>(d.constData() + at));
}

// One string of the 'name' table (Windows Unicode or Mac Roman records), bounds-checked throughout.
QString nameEntry(const QByteArray& d, quint16 wantedId) {
  if (d.size() < 12) return {};
  const quint16 numTables = be16(d, 4);
  if (12 + qsizetype(numTables) * 16 > d.size()) return {};
  for (quint16 i = 0; i < numTables; ++i) {
    const qsizetype rec = 12 + qsizetype(i) * 16;
    if (d.mid(rec, 4) != "name") continue;
    const qsizetype off = be32(d, rec + 8), len = be32(d, rec + 12);
    if (off < 0 || len < 6 || off + len > d.size()) return {};
    const quint16 count = be16(d, off + 2), strings = be16(d, off + 4);
    QString mac;
    for (quint16 k = 0; k < count; ++k) {
      const qsizetype r = off + 6 + qsizetype(k) * 12;
      if (r + 12 > off + len) break;
      const quint16 platform = be16(d, r), encoding = be16(d, r + 2), nameId = be16(d, r + 6);
      const qsizetype slen = be16(d, r + 8), soff = off + strings + be16(d, r + 10);
      if (nameId != wantedId || soff + slen > d.size()) continue;
      if ((platform == 3 && (encoding == 1 || encoding == 0)) || platform == 0) {
        QString s;
        for (qsizetype c = 0; c + 1 < slen; c += 2) s.append(QChar(be16(d, soff + c)));
        return s;
      }
      if (platform == 1 && encoding == 0 && mac.isEmpty()) mac = QString::fromLatin1(d.mid(soff, slen));
    }
    return mac;
  }
  return {};
}

}  // namespace

QString Fonts::postScriptNameOfFontData(const QByteArray& data) { return nameEntry(data, 6); }

bool Fonts::registerFontData(const QByteArray& data) {
  if (registeredData().contains(data)) return true;
  const QString ps = postScriptNameOfFontData(data);
  const int id = QFontDatabase::addApplicationFontFromData(data);
  if (id < 0) {
    log(QStringLiteral("Fonts: not a font (%1 bytes)").arg(data.size()));
    return false;
  }
  registeredData().insert(data, id);
  const QStringList families = QFontDatabase::applicationFontFamilies(id);
  if (!ps.isEmpty() && !families.isEmpty()) {
    QString style = nameEntry(data, 17);
    if (style.isEmpty()) style = nameEntry(data, 2);
    registry().insert(ps, Face{families.first(), style});
  }
  return true;
}

bool Fonts::registerFontFile(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return false;
  return registerFontData(f.readAll());
}

bool Fonts::registerResourceFont(const QString& name) {
  const QString path = pathForResource(name, QStringLiteral("ttf"));
  if (path.isEmpty()) {
    log(QStringLiteral("Fonts: no resource %1.ttf").arg(name));
    return false;
  }
  return registerFontFile(path);
}

QStringList Fonts::registeredPostScriptNames() { return registry().keys(); }

bool Fonts::hasFont(const QString& postScriptName) { return registry().contains(postScriptName); }

QFont Fonts::font(const QString& postScriptName, double pixelSize) {
  QFont f;
  const auto it = registry().constFind(postScriptName);
  if (it != registry().constEnd()) {
    f = QFont(it->family);
    if (!it->style.isEmpty()) f.setStyleName(it->style);
  } else if (!postScriptName.isEmpty()) {
    f = QFont(postScriptName);
  }
  const double px = std::isfinite(pixelSize) ? pixelSize : 1.0;
  f.setPixelSize(std::max(1, int(std::lround(std::min(px, 4096.0)))));
  f.setHintingPreference(QFont::PreferNoHinting);
  return f;
}

}  // namespace ox
