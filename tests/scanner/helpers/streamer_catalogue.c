/* A streamer plug-in with a small catalogue for the engine's refresh: good entries, entries lacking a key, a text
 * that is no JSON object, and a show whose id yields no record but whose episodes still count. */
#include "core/StreamerPluginProtocol.h"

static int instance;

static int initializeClass(const char* bundlePath) { return bundlePath != 0; }
static void* plugin(void) { return &instance; }
static void terminate(void) {}
static const char* name(void* self) { (void)self; return "Catalogue"; }

#define MOVIE_KEYS "\"genre\": [\"Drama\"], \"image\": null, \"poster\": null, \"rating\": 7, \"runtime\": 90, " \
                   "\"soundtrack\": null, \"year\": 2001, \"links\": [\"magnet:?xt=urn:btih:a\"]"
#define SHOW_KEYS "\"genre\": [], \"poster\": null, \"image\": null, \"rating\": 7, \"runtime\": 40, " \
                  "\"soundtrack\": null, \"year\": 2009"
#define EPISODE(id, ep) "\"{\\\"id\\\": " #id ", \\\"episode\\\": " #ep ", \\\"season\\\": 1, \\\"title\\\": \\\"E\\\", " \
                        "\\\"image\\\": \\\"\\\", \\\"links\\\": [], \\\"showid\\\": 812}\""

static void getMovieList(void* self, OXStreamerAppendText append, void* list) {
  (void)self;
  append(list, "{\"id\": \"tt0000001\", \"title\": \"Quiet Orchard\", " MOVIE_KEYS "}");
  append(list, "{\"id\": \"tt0000002\", \"title\": \"No Year\", \"genre\": [], \"image\": null, \"poster\": null, "
               "\"rating\": 1, \"runtime\": 1, \"soundtrack\": null, \"links\": []}");
  append(list, "[1, 2, 3]");
  append(list, "not json");
}

static void getShowList(void* self, OXStreamerAppendText append, void* list) {
  (void)self;
  append(list, "{\"id\": 812, \"title\": \"Lantern Street\", \"image_ipad\": null, " SHOW_KEYS
               ", \"episodes\": [" EPISODE(1, 1) ", " EPISODE(2, 2) ", \"{\\\"episode\\\": 3}\", 7]}");
  append(list, "{\"id\": 0, \"title\": \"No Id\", \"image_ipad\": null, " SHOW_KEYS ", \"episodes\": [" EPISODE(3, 3) "]}");
  append(list, "{\"id\": 900, \"title\": \"No Ipad\", " SHOW_KEYS ", \"episodes\": [" EPISODE(4, 4) "]}");
}

static const StreamerPluginProtocol kProtocol = {
    OX_STREAMER_PLUGIN_ABI, initializeClass, plugin, terminate, name, getMovieList, getShowList};

__attribute__((visibility("default"))) const StreamerPluginProtocol* OXStreamerPluginMain(void) { return &kProtocol; }
