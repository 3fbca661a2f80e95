#include "platform/media/VLCLibrary.h"

#include <vlc/vlc.h>

#include <map>
#include <mutex>
#include <vector>

#include "platform/foundation/Log.h"

namespace ox {

namespace {
std::mutex gMutex;
QStringList gExtra;
libvlc_instance_t* gInstance = nullptr;
bool gTried = false;
std::map<int, std::function<void()>> gHolders;
int gNextHolder = 1;

// The picture goes to our own frame sinks and the program draws its own controls, so libvlc must never open a window,
// draw its own messages, or read a user's VLC settings. Players without a sink decode into the dummy output.
const char* const kBaseArguments[] = {"--intf=dummy", "--no-xlib", "--no-video-title-show", "--no-osd",
                                      "--vout=vdummy", "--ignore-config", "--quiet"};

QStringList argumentsWith(const QStringList& extra) {
  QStringList all;
  for (const char* a : kBaseArguments) all << QString::fromLatin1(a);
  all += extra;
  all += qEnvironmentVariable("OX_VLC_ARGS").split(QLatin1Char(' '), Qt::SkipEmptyParts);
  return all;
}
}  // namespace

void VLCLibrary::setExtraArguments(const QStringList& arguments) {
  std::lock_guard<std::mutex> lock(gMutex);
  if (gTried) {
    ox::log(QStringLiteral("VLCLibrary: arguments set after the instance was made are ignored"));
    return;
  }
  gExtra = arguments;
}

QStringList VLCLibrary::arguments() {
  QStringList extra;
  {
    std::lock_guard<std::mutex> lock(gMutex);
    extra = gExtra;
  }
  return argumentsWith(extra);
}

libvlc_instance_t* VLCLibrary::sharedInstance() {
  std::lock_guard<std::mutex> lock(gMutex);
  if (gTried) return gInstance;
  gTried = true;
  const QStringList args = argumentsWith(gExtra);
  std::vector<QByteArray> bytes;
  std::vector<const char*> argv;
  bytes.reserve(args.size());
  for (const QString& a : args) bytes.push_back(a.toUtf8());
  for (const QByteArray& b : bytes) argv.push_back(b.constData());
  gInstance = libvlc_new(int(argv.size()), argv.data());
  if (!gInstance) ox::log(QStringLiteral("VLCLibrary: libvlc could not start: %1").arg(QString::fromUtf8(libvlc_errmsg())));
  return gInstance;
}

int VLCLibrary::addHolder(std::function<void()> letGo) {
  std::lock_guard<std::mutex> lock(gMutex);
  const int token = gNextHolder++;
  gHolders.emplace(token, std::move(letGo));
  return token;
}

void VLCLibrary::removeHolder(int token) {
  std::lock_guard<std::mutex> lock(gMutex);
  gHolders.erase(token);
}

void VLCLibrary::releaseSharedInstance() {
  std::map<int, std::function<void()>> holders;
  libvlc_instance_t* instance = nullptr;
  {
    std::lock_guard<std::mutex> lock(gMutex);
    holders.swap(gHolders);
    instance = gInstance;
    gInstance = nullptr;
    gTried = true;
  }
  // libvlc counts its references, so the order does not matter; the instance ends with the last of them.
  for (auto& [token, letGo] : holders) letGo();
  if (instance) libvlc_release(instance);
}

}  // namespace ox
