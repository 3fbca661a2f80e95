#pragma once
/* The interface of a streamer plug-in, as the plug-in's maker sees it. Plain C, so a plug-in can be built with any
 * compiler and needs nothing of ours.
 *
 * A plug-in is a folder whose name ends in ".bundle", placed in the library's "streamers" folder, holding a shared
 * object (the first file directly inside it, in name order, whose name ends in ".so"). The shared object exports
 * OXStreamerPluginMain, which answers the plug-in's operations; it is called once per load and must answer the same
 * table every time. Texts are UTF-8 and NUL-terminated.
 *
 *  - initializeClass(bundlePath): prepares the plug-in; answering 0 keeps it out.
 *  - plugin(): the plug-in's working instance (an opaque pointer the plug-in owns), which the instance operations
 *    below receive.
 *  - terminate(): ends the plug-in's work; the instance is not used afterwards.
 *  - name(instance): the plug-in's name; the text must stay valid until terminate.
 *  - getMovieList(instance, append, list), getShowList(...): the catalogue, handed over one JSON text at a time by
 *    calling append(list, text) for each; the text is copied during the call. A movie text is one JSON object; a
 *    show text is one JSON object whose "episodes" member is a list of JSON texts, one per episode. */
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define OX_STREAMER_PLUGIN_ABI 1

typedef void (*OXStreamerAppendText)(void* list, const char* json);

typedef struct StreamerPluginProtocol {
  uint32_t abiVersion; /* OX_STREAMER_PLUGIN_ABI */
  int (*initializeClass)(const char* bundlePath);
  void* (*plugin)(void);
  void (*terminate)(void);
  const char* (*name)(void* instance);
  void (*getMovieList)(void* instance, OXStreamerAppendText append, void* list);
  void (*getShowList)(void* instance, OXStreamerAppendText append, void* list);
} StreamerPluginProtocol;

#define OX_STREAMER_PLUGIN_ENTRY "OXStreamerPluginMain"
typedef const StreamerPluginProtocol* (*OXStreamerPluginMainFunction)(void);

#ifdef __cplusplus
}
#endif
