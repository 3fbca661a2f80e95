#include "core/OXFolderWalk.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <utility>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "platform/foundation/FileName.h"

namespace {

struct Entry {
  QString name;
  size_t at = 0;  // where its name, as the file system has it, begins in the folder's name buffer
  bool folder = false;
};

struct Walk {
  const QStringList& suffixes;
  QString lastChars;  // the last character of each suffix: most names end in none of them
  bool everything = false;  // an empty suffix
  QStringList& out;
  std::vector<char> buffer = std::vector<char>(size_t(1) << 16);

  bool wanted(const QString& name) const {
    if (everything) return true;
    if (name.isEmpty() || !lastChars.contains(name.back())) return false;
    // No suffix holds a "/", so a path ends with one exactly when its last name does.
    for (const QString& s : suffixes)
      if (name.endsWith(s, Qt::CaseSensitive)) return true;
    return false;
  }

  // A folder's entries by name and kind alone, read straight from the kernel's listing: the kind comes with it
  // (d_type), so nothing is asked of the file system per entry but where it cannot tell. In name order, as QString
  // compares them.
  std::vector<Entry> entriesOf(int fd, std::string& names) {
    std::vector<Entry> entries;
    bool ascii = true;
    for (;;) {
      const ssize_t n = ::getdents64(fd, buffer.data(), buffer.size());
      if (n <= 0) break;
      for (ssize_t pos = 0; pos < n;) {
        const auto* e = reinterpret_cast<const dirent64*>(buffer.data() + pos);
        pos += e->d_reclen;
        const char* name = e->d_name;
        if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) continue;
        Entry entry{{}, names.size(), e->d_type == DT_DIR};
        if (e->d_type == DT_UNKNOWN) {
          struct stat st {};
          entry.folder = ::fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
        }
        for (const char* c = name; *c; ++c) {
          ascii = ascii && static_cast<unsigned char>(*c) < 0x80;
          names += *c;
        }
        names += '\0';
        entries.push_back(std::move(entry));
      }
    }
    for (Entry& e : entries) e.name = ox::decodeFileName(QByteArray(names.data() + e.at));
    // ASCII names sort the same by their bytes; others as their UTF-16 texts do.
    if (ascii)
      std::sort(entries.begin(), entries.end(), [&](const Entry& a, const Entry& b) {
        return std::strcmp(names.data() + a.at, names.data() + b.at) < 0;
      });
    else
      std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.name < b.name; });
    return entries;
  }

  // Sub-folders are opened by name relative to their parent, which stays open while its entries are walked. Where
  // descriptors run short (a very deep tree), the parent, whose listing is read already, lets its own go and opens
  // the rest by their whole path.
  void walk(int fd, const QString& prefix) {
    std::string names;
    const std::vector<Entry> entries = entriesOf(fd, names);
    constexpr int kFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    for (const Entry& entry : entries) {
      const bool listed = wanted(entry.name);
      if (!listed && !entry.folder) continue;
      const QString path = prefix + entry.name;
      if (listed) out << path;
      if (!entry.folder) continue;
      int child = fd >= 0 ? ::openat(fd, names.data() + entry.at, kFlags) : -1;
      if (child < 0 && (fd < 0 || errno == EMFILE || errno == ENFILE)) {
        if (fd >= 0) ::close(std::exchange(fd, -1));
        child = ::open(ox::encodeFileName(path).constData(), kFlags);
      }
      if (child >= 0) walk(child, path + QLatin1Char('/'));
    }
    if (fd >= 0) ::close(fd);
  }
};

}  // namespace

QStringList pathsBelowFolder(const QString& folder, const QStringList& suffixes) {
  QStringList out;
  if (!ox::isFolderAtPath(folder)) return out;
  QString prefix = folder;
  // The stored forms of folders end with "/"; the entries get exactly one separator.
  while (prefix.size() > 1 && prefix.endsWith(QLatin1Char('/'))) prefix.chop(1);
  const int fd = ::open(ox::encodeFileName(prefix).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return out;
  if (!prefix.endsWith(QLatin1Char('/'))) prefix += QLatin1Char('/');
  Walk walk{suffixes, {}, false, out};
  for (const QString& s : suffixes) {
    if (s.isEmpty()) walk.everything = true;
    else walk.lastChars += s.back();
  }
  walk.walk(fd, prefix);
  return out;
}
