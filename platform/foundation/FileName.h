#pragma once
#include <QByteArray>
#include <QIODevice>
#include <QString>

class QFile;
class QUrl;

// Paths as the file system has them. Qt reads a name that is not valid UTF-8 (a Latin-1 name from an old disk or a
// network share) with U+FFFD in place of its odd bytes, and the path it gives then opens nothing. Here a valid UTF-8
// name reads as QFile::decodeName reads it, and each byte that is not part of one is kept as the private-use
// character U+EF00 + byte, so every path encodes back to the very bytes it came from, and the text stays valid
// Unicode wherever it is stored or sent. Qt's own file classes cannot find such a path: go through these.
namespace ox {

QString decodeFileName(const QByteArray& name);
QByteArray encodeFileName(const QString& path);
// A name (or path) as people read it: each kept byte becomes the character it most likely stood for on the disk it
// came from, Latin-1 as Windows extends it. For titles and rows only: the text no longer leads to the file.
QString readableFileName(const QString& name);

// A file URL's path as decodeFileName gives it: its percent escapes are the name's bytes ("%E9" of a Latin-1 name from
// a drop or a folder chooser, which QUrl::toLocalFile reads as U+FFFD); empty for a URL that names no local file.
QString pathOfFileURL(const QUrl& url);
// The file URL of a path, each kept byte escaped as itself; a path with none has the URL QUrl::fromLocalFile gives.
QUrl fileURLOfPath(const QString& path);

// What stat(2) says of the path, links followed (as QFileInfo answers exists, isFile and isDir).
bool existsAtPath(const QString& path);
bool isFileAtPath(const QString& path);
bool isFolderAtPath(const QString& path);
// Opens `file` on the path's bytes (read-only, with `extra` modes), closing the descriptor with the file.
bool openFileAtPath(QFile& file, const QString& path, QIODevice::OpenMode extra = {});

}  // namespace ox
