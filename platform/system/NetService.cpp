#include "platform/system/NetService.h"

#include <avahi-client/client.h>
#include <avahi-client/publish.h>
#include <avahi-common/alternative.h>
#include <avahi-common/error.h>
#include <avahi-common/malloc.h>
#include <avahi-common/thread-watch.h>

#include <mutex>

#include "platform/foundation/Log.h"

namespace ox {

struct NetService::Impl {
  NetService* owner = nullptr;
  QByteArray domain, type;
  int port = 0;
  NetServiceDelegate* delegate = nullptr;

  AvahiThreadedPoll* poll = nullptr;
  AvahiClient* client = nullptr;
  AvahiEntryGroup* group = nullptr;

  mutable std::mutex mutex;  // the name and state, read from any thread
  QByteArray name;           // wanted until published, then the one in use
  bool published = false;

  void fail(const QString& why) {
    OXLOG("Bonjour publication of %s failed: %s", type.constData(), qPrintable(why));
    {
      std::lock_guard hold(mutex);
      published = false;
    }
    if (delegate) delegate->netServiceDidNotPublish(*owner, why);
  }

  // Runs on the poll thread (or inside avahi_client_new), with the client given by the daemon's callback.
  void announce(AvahiClient* c) {
    if (!group && !(group = avahi_entry_group_new(c, &Impl::groupChanged, this)))
      return fail(QString::fromUtf8(avahi_strerror(avahi_client_errno(c))));
    if (!avahi_entry_group_is_empty(group)) return;
    QByteArray wanted;
    {
      std::lock_guard hold(mutex);
      if (name.isEmpty()) name = avahi_client_get_host_name(c);
      wanted = name;
    }
    if (delegate) delegate->netServiceWillPublish(*owner);
    for (;;) {
      // Announced over IPv4, where the servers of the system listen; a client resolving over IPv6 would find no one.
      const int error = avahi_entry_group_add_service(group, AVAHI_IF_UNSPEC, AVAHI_PROTO_INET, AvahiPublishFlags(0),
                                                      wanted.constData(), type.constData(),
                                                      domain.isEmpty() ? nullptr : domain.constData(), nullptr,
                                                      uint16_t(port), nullptr);
      if (error == AVAHI_ERR_COLLISION) {
        wanted = rename();
        continue;
      }
      if (error < 0) return fail(QString::fromUtf8(avahi_strerror(error)));
      break;
    }
    if (const int error = avahi_entry_group_commit(group); error < 0)
      fail(QString::fromUtf8(avahi_strerror(error)));
  }

  QByteArray rename() {
    std::lock_guard hold(mutex);
    char* next = avahi_alternative_service_name(name.constData());
    OXLOG("Bonjour name \"%s\" is taken, trying \"%s\"", name.constData(), next);
    name = next;
    avahi_free(next);
    return name;
  }

  static void clientChanged(AvahiClient* c, AvahiClientState state, void* data) {
    auto* self = static_cast<Impl*>(data);
    switch (state) {
      case AVAHI_CLIENT_S_RUNNING:
        self->announce(c);
        break;
      case AVAHI_CLIENT_S_COLLISION:
      case AVAHI_CLIENT_S_REGISTERING:
        // The host is being renamed: the daemon announces again once it runs.
        if (self->group) avahi_entry_group_reset(self->group);
        break;
      case AVAHI_CLIENT_FAILURE:
        self->fail(QString::fromUtf8(avahi_strerror(avahi_client_errno(c))));
        break;
      case AVAHI_CLIENT_CONNECTING:
        break;
    }
  }

  static void groupChanged(AvahiEntryGroup* g, AvahiEntryGroupState state, void* data) {
    auto* self = static_cast<Impl*>(data);
    switch (state) {
      case AVAHI_ENTRY_GROUP_ESTABLISHED: {
        {
          std::lock_guard hold(self->mutex);
          self->published = true;
        }
        if (self->delegate) self->delegate->netServiceDidPublish(*self->owner);
        break;
      }
      case AVAHI_ENTRY_GROUP_COLLISION:
        self->rename();
        avahi_entry_group_reset(g);
        self->announce(avahi_entry_group_get_client(g));
        break;
      case AVAHI_ENTRY_GROUP_FAILURE:
        self->fail(QString::fromUtf8(avahi_strerror(avahi_client_errno(avahi_entry_group_get_client(g)))));
        break;
      case AVAHI_ENTRY_GROUP_UNCOMMITED:
      case AVAHI_ENTRY_GROUP_REGISTERING:
        break;
    }
  }
};

NetService::NetService(const QString& domain, const QString& type, const QString& name, int port)
    : d(std::make_unique<Impl>()) {
  d->owner = this;
  d->domain = domain.toUtf8();
  d->type = type.toUtf8();
  d->name = name.toUtf8();
  d->port = port;
}

NetService::~NetService() { stop(); }

void NetService::setDelegate(NetServiceDelegate* delegate) { d->delegate = delegate; }

void NetService::publish() {
  if (d->poll) return;
  if (!(d->poll = avahi_threaded_poll_new())) return d->fail(QStringLiteral("no event loop for the daemon"));
  int error = 0;
  // The client reports its first state from inside avahi_client_new, before the poll thread runs.
  d->client = avahi_client_new(avahi_threaded_poll_get(d->poll), AvahiClientFlags(0), &Impl::clientChanged, d.get(),
                               &error);
  if (!d->client) {
    avahi_threaded_poll_free(d->poll);
    d->poll = nullptr;
    return d->fail(QString::fromUtf8(avahi_strerror(error)));
  }
  if (avahi_threaded_poll_start(d->poll) < 0) {
    avahi_client_free(d->client);
    avahi_threaded_poll_free(d->poll);
    d->client = nullptr;
    d->poll = nullptr;
    d->fail(QStringLiteral("no thread for the daemon"));
  }
}

void NetService::stop() {
  if (!d->poll) return;
  avahi_threaded_poll_stop(d->poll);
  avahi_client_free(d->client);  // frees the group with it
  avahi_threaded_poll_free(d->poll);
  d->client = nullptr;
  d->group = nullptr;
  d->poll = nullptr;
  std::lock_guard hold(d->mutex);
  d->published = false;
}

QString NetService::type() const { return QString::fromUtf8(d->type); }
int NetService::port() const { return d->port; }

QString NetService::name() const {
  std::lock_guard hold(d->mutex);
  return d->published ? QString::fromUtf8(d->name) : QString();
}

bool NetService::isPublished() const {
  std::lock_guard hold(d->mutex);
  return d->published;
}

}  // namespace ox
