#include "platform/system/LoginItem.h"

#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>

#include "platform/foundation/Log.h"

#include <algorithm>
#include <utility>

namespace ox {

namespace {

// The first argument of an Exec value as quoteExecArgument wrote it, and where the arguments after it start.
std::pair<QString, qsizetype> firstExecArgument(const QString& exec) {
  QString argument;
  qsizetype i = 0;
  if (exec.startsWith(QLatin1Char('"'))) {
    for (i = 1; i < exec.size() && exec[i] != QLatin1Char('"'); ++i) {
      if (exec[i] == QLatin1Char('\\') && i + 1 < exec.size()) ++i;
      argument += exec[i];
    }
    ++i;
  } else {
    for (; i < exec.size() && !exec[i].isSpace(); ++i) argument += exec[i];
  }
  return {argument.replace(QStringLiteral("%%"), QStringLiteral("%")), std::min(i, exec.size())};
}

// The session can start what the entry names: a name without a folder is looked up in PATH, as the session would,
// and a relative path is taken from the home folder, where the session starts it.
bool startable(const QString& named) {
  if (named.isEmpty()) return false;
  if (!named.contains(QLatin1Char('/'))) return !QStandardPaths::findExecutable(named).isEmpty();
  const QFileInfo program(QDir::home(), named);
  return program.isFile() && program.isExecutable();
}

}  // namespace

QString LoginItem::desktopFilePath(const QString& identifier) {
  const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
  return QDir(config).filePath(QStringLiteral("autostart/") + identifier + QStringLiteral(".desktop"));
}

QString LoginItem::quoteExecArgument(const QString& argument) {
  // Field codes start with "%", so a literal one is doubled whether quoted or not.
  QString text = argument;
  text.replace(QLatin1Char('%'), QStringLiteral("%%"));
  static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
  const bool quote =
      text.isEmpty() || std::any_of(text.begin(), text.end(), [](QChar c) { return reserved.contains(c); });
  if (!quote) return text;
  QString quoted = QStringLiteral("\"");
  for (const QChar c : text) {
    if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
      quoted += QLatin1Char('\\');
    quoted += c;
  }
  return quoted + QLatin1Char('"');
}

bool LoginItem::addToLoginItems(const QString& identifier, const QString& name, const QString& executable,
                                const QStringList& arguments) {
  const QString path = desktopFilePath(identifier);
  if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
    OXLOG("login item: cannot create %s", qPrintable(QFileInfo(path).absolutePath()));
    return false;
  }
  QStringList exec{quoteExecArgument(executable)};
  for (const QString& argument : arguments) exec << quoteExecArgument(argument);
  // Values are single lines: a line break in a name would start a key of its own.
  QString title = name;
  title.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
  const QString entry = QStringLiteral(
                            "[Desktop Entry]\n"
                            "Type=Application\n"
                            "Name=%1\n"
                            "Exec=%2\n"
                            "Terminal=false\n"
                            "X-GNOME-Autostart-enabled=true\n")
                            .arg(title, exec.join(QLatin1Char(' ')));
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(entry.toUtf8()) < 0 || !file.commit()) {
    OXLOG("login item: cannot write %s", qPrintable(path));
    return false;
  }
  return true;
}

bool LoginItem::removeFromLoginItems(const QString& identifier) {
  const QString path = desktopFilePath(identifier);
  return !QFile::exists(path) || QFile::remove(path);
}

bool LoginItem::isInLoginItems(const QString& identifier) {
  QFile file(desktopFilePath(identifier));
  if (!file.open(QIODevice::ReadOnly)) return false;
  for (const QByteArray& line : file.readAll().split('\n'))
    if (line.trimmed().toLower() == "hidden=true") return false;
  return true;
}

bool LoginItem::followProgram(const QString& identifier, const QString& executable) {
  const QString path = desktopFilePath(identifier);
  // A link is the user's own, to an entry shared with others: not ours to rewrite.
  if (!isInLoginItems(identifier) || QFileInfo(path).isSymLink()) return true;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return true;
  QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
  file.close();
  const QString key = QStringLiteral("Exec=");
  bool inEntry = false;
  for (QString& line : lines) {
    if (line.startsWith(QLatin1Char('['))) inEntry = line.trimmed() == QStringLiteral("[Desktop Entry]");
    if (!inEntry || !line.startsWith(key)) continue;
    const QString exec = line.mid(key.size());
    const auto [program, rest] = firstExecArgument(exec);
    // Another install that still works keeps the entry: two copies taking it in turns would make it flip.
    if (startable(program)) return true;
    line = key + quoteExecArgument(executable) + exec.mid(rest);
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(lines.join(QLatin1Char('\n')).toUtf8()) < 0 || !out.commit()) {
      OXLOG("login item: cannot write %s", qPrintable(path));
      return false;
    }
    OXLOG("login item: now starts %s instead of %s", qPrintable(executable), qPrintable(program));
    return true;
  }
  return true;
}

}  // namespace ox
