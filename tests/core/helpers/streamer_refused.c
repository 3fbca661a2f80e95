/* A streamer plug-in that keeps itself out: its initialisation answers NO. */
#include <stddef.h>

#include "core/StreamerPluginProtocol.h"

static int initializeClass(const char* bundlePath) {
  (void)bundlePath;
  return 0;
}
static void* plugin(void) { return NULL; }
static void terminate(void) {}
static const char* name(void* self) {
  (void)self;
  return "Refused";
}
static void noList(void* self, OXStreamerAppendText append, void* list) {
  (void)self;
  (void)append;
  (void)list;
}

static const StreamerPluginProtocol kProtocol = {
    OX_STREAMER_PLUGIN_ABI, initializeClass, plugin, terminate, name, noList, noList};

__attribute__((visibility("default"))) const StreamerPluginProtocol* OXStreamerPluginMain(void) { return &kProtocol; }
