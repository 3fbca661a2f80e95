/* A streamer plug-in that is admitted: two movies and one show with two episodes. It remembers the bundle path it
 * was initialised with and counts its terminations, which it answers as its name. */
#include <stdio.h>
#include <string.h>

#include "core/StreamerPluginProtocol.h"

static char bundle[4096];
static char nameText[4200];
static int terminations;
static int instance;

static int initializeClass(const char* bundlePath) {
  snprintf(bundle, sizeof bundle, "%s", bundlePath ? bundlePath : "");
  return 1;
}
static void* plugin(void) { return &instance; }
static void terminate(void) { ++terminations; }
static const char* name(void* self) {
  (void)self;
  snprintf(nameText, sizeof nameText, "Admitted|%s|%d", bundle, terminations);
  return nameText;
}
static void getMovieList(void* self, OXStreamerAppendText append, void* list) {
  (void)self;
  append(list, "{\"id\": \"tt0000001\", \"title\": \"Quiet Orchard\", \"links\": [\"magnet:?xt=urn:btih:a\"]}");
  append(list, "{\"id\": \"tt0000002\", \"title\": \"Long Harbour\", \"links\": []}");
}
static void getShowList(void* self, OXStreamerAppendText append, void* list) {
  (void)self;
  append(list, "{\"id\": 81189, \"title\": \"Salt Roads\", \"episodes\": [\"{\\\"id\\\": 1}\", \"{\\\"id\\\": 2}\"]}");
}

static const StreamerPluginProtocol kProtocol = {
    OX_STREAMER_PLUGIN_ABI, initializeClass, plugin, terminate, name, getMovieList, getShowList};

__attribute__((visibility("default"))) const StreamerPluginProtocol* OXStreamerPluginMain(void) { return &kProtocol; }
