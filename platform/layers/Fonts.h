#pragma once
#include <QByteArray>
#include <QFont>
#include <QString>
#include <QStringList>

namespace ox {

// Fonts of our own resources, registered for the process and found again by their PostScript names (the names
// text layers are given, such as "oxfont-Regular"). Main thread only.
class Fonts {
 public:
  // Registers the font file; false when it is missing or not a font. Registering a file twice is harmless.
  static bool registerFontFile(const QString& path);
  static bool registerFontData(const QByteArray& data);
  // Registers the program's font resource "<name>.ttf" (ox::pathForResource); false when it is missing or no font.
  static bool registerResourceFont(const QString& name);
  // PostScript names of every registered face.
  static QStringList registeredPostScriptNames();
  static bool hasFont(const QString& postScriptName);
  // The face with that PostScript name, else the family of that name, else the application's default font; at
  // `pixelSize` pixels (at least 1).
  static QFont font(const QString& postScriptName, double pixelSize);
  // The PostScript name (name table entry 6) of a TrueType/OpenType file's data; empty when it has none.
  static QString postScriptNameOfFontData(const QByteArray& data);
};

}  // namespace ox
