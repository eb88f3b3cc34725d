#include "platform/worker/PluginAllowList.h"

#include <gst/gst.h>

#include <algorithm>
#include <cstring>
#include <string_view>

namespace worker {
namespace {

struct Allowed {
  const char* plugin;
  std::vector<const char*> elements;
};

// Each plugin with the elements it may keep. libav lists its decoders by name: it has a decoder
// for nearly every picture format there is (gif, png, bmp, tiff, webp, jpeg 2000, ...), none of
// which may decode here.
const std::vector<Allowed>& AllowList() {
  static const std::vector<Allowed> list = {
      // The core's own bin and pipeline, and the plumbing: no filesrc, filesink or queue2
      // (which can write temporary files).
      {"staticelements", {"bin", "pipeline"}},
      {"coreelements", {"typefind", "queue", "multiqueue", "capsfilter", "fakesink"}},
      {"typefindfunctions", {}},
      {"app", {"appsink"}},
      {"playback", {"decodebin"}},
      {"videoconvertscale", {"videoconvert", "videoscale"}},
      {"audioconvert", {"audioconvert"}},
      {"audioresample", {"audioresample"}},
      // Turns pictures upright by the stream's orientation tag.
      {"videofilter", {"videoflip"}},
      // Containers.
      {"avi", {"avidemux"}},
      {"asf", {"asfdemux"}},
      {"mpegpsdemux", {"mpegpsdemux"}},
      {"mpegtsdemux", {"tsdemux"}},
      {"isomp4", {"qtdemux"}},
      {"matroska", {"matroskademux"}},
      {"ogg", {"oggdemux", "ogmaudioparse", "ogmvideoparse"}},
      // Parsers of video and audio elementary streams (not png or jpeg 2000).
      {"videoparsersbad",
       {"h263parse", "h264parse", "h265parse", "mpeg4videoparse", "mpegvideoparse", "vc1parse", "vp9parse",
        "av1parse"}},
      {"audioparsers", {"aacparse", "ac3parse", "flacparse", "mpegaudioparse"}},
      // Decoders.
      {"libav",
       {// video
        "avdec_mpeg4", "avdec_msmpeg4", "avdec_msmpeg4v1", "avdec_msmpeg4v2", "avdec_h263", "avdec_h263i",
        "avdec_h263p", "avdec_h264", "avdec_h265", "avdec_wmv1", "avdec_wmv2", "avdec_wmv3", "avdec_vc1",
        "avdec_mpegvideo", "avdec_mpeg2video", "avdec_mjpeg", "avdec_mjpegb", "avdec_cinepak", "avdec_msvideo1",
        "avdec_huffyuv", "avdec_ffv1", "avdec_vp8", "avdec_vp9", "avdec_theora", "avdec_vp3", "avdec_dvvideo",
        "avdec_flv", "avdec_indeo2", "avdec_indeo3", "avdec_indeo4", "avdec_indeo5",
        // audio
        "avdec_aac", "avdec_ac3", "avdec_eac3", "avdec_mp2float", "avdec_mp3float", "avdec_mp1float", "avdec_wmav1",
        "avdec_wmav2", "avdec_wmapro", "avdec_wmalossless", "avdec_flac", "avdec_vorbis", "avdec_opus", "avdec_alac",
        "avdec_adpcm_ms", "avdec_adpcm_ima_wav", "avdec_adpcm_ima_qt", "avdec_adpcm_ima_dk3", "avdec_adpcm_ima_dk4",
        "avdec_adpcm_yamaha", "avdec_adpcm_swf", "avdec_adpcm_g726", "avdec_g726", "avdec_gsm_ms"}},
      {"mpg123", {"mpg123audiodec"}},
      {"a52dec", {"a52dec"}},
      {"vorbis", {"vorbisdec"}},
      {"opus", {"opusdec"}},
      {"theora", {"theoradec"}},
      {"vpx", {"vp8dec", "vp9dec"}},
      {"dav1d", {"dav1ddec"}},
      // AV1 in software (libav's own AV1 decoder needs a hardware decoder).
      {"aom", {"av1dec"}},
      {"flac", {"flacdec"}},
      {"alaw", {"alawdec"}},
      {"mulaw", {"mulawdec"}},
      // Motion-JPEG in AVI files.
      {"jpeg", {"jpegdec"}},
  };
  return list;
}

// The elements the worker builds itself: without one of them it cannot work at all.
constexpr const char* kRequired[] = {"decodebin", "typefind",     "queue",         "capsfilter", "fakesink",
                                     "appsink",   "audioconvert", "audioresample", "videoflip"};

const Allowed* FindPlugin(std::string_view name) {
  for (const Allowed& allowed : AllowList())
    if (name == allowed.plugin) return &allowed;
  return nullptr;
}

bool ElementAllowed(const Allowed& plugin, std::string_view name) {
  return std::any_of(plugin.elements.begin(), plugin.elements.end(),
                     [&](const char* allowed) { return name == allowed; });
}

// Removes the plugins not on the list; returns the names of those left.
std::vector<std::string> KeepAllowedPlugins(GstRegistry* registry) {
  std::vector<std::string> kept;
  GList* plugins = gst_registry_get_plugin_list(registry);
  for (GList* item = plugins; item; item = item->next) {
    auto* plugin = GST_PLUGIN(item->data);
    const char* name = gst_plugin_get_name(plugin);
    if (FindPlugin(name))
      kept.emplace_back(name);
    else
      gst_registry_remove_plugin(registry, plugin);
  }
  gst_plugin_list_free(plugins);
  return kept;
}

// Removes the element factories of allowed plugins that are not allowed themselves. Runs after
// the plugins are loaded: loading a plugin registers its elements again.
void KeepAllowedElements(GstRegistry* registry) {
  GList* features = gst_registry_get_feature_list(registry, GST_TYPE_ELEMENT_FACTORY);
  for (GList* item = features; item; item = item->next) {
    auto* feature = GST_PLUGIN_FEATURE(item->data);
    const char* pluginName = gst_plugin_feature_get_plugin_name(feature);
    const Allowed* plugin = pluginName ? FindPlugin(pluginName) : nullptr;
    if (!plugin || !ElementAllowed(*plugin, gst_plugin_feature_get_name(feature)))
      gst_registry_remove_feature(registry, feature);
  }
  gst_plugin_feature_list_free(features);
}

}  // namespace

bool PrepareGstreamer(std::string* error) {
  GError* gerror = nullptr;
  if (!gst_init_check(nullptr, nullptr, &gerror)) {
    *error = std::string("GStreamer does not start: ") + (gerror ? gerror->message : "unknown reason");
    g_clear_error(&gerror);
    return false;
  }
  GstRegistry* registry = gst_registry_get();
  for (const std::string& name : KeepAllowedPlugins(registry)) {
    if (GstPlugin* plugin = gst_plugin_load_by_name(name.c_str())) gst_object_unref(plugin);
  }
  KeepAllowedElements(registry);
  // One of each element, made and dropped: every type and class a pipeline may need is
  // initialised now, while files can still be read.
  for (const std::string& name : AllowedElements()) {
    if (GstElement* element = gst_element_factory_make(name.c_str(), nullptr))
      gst_object_unref(gst_object_ref_sink(element));
  }
  for (const char* name : kRequired) {
    GstElementFactory* factory = gst_element_factory_find(name);
    if (!factory) {
      *error = std::string("the GStreamer element ") + name + " is missing";
      return false;
    }
    gst_object_unref(factory);
  }
  return true;
}

std::vector<std::string> AllowedElements() {
  std::vector<std::string> names;
  GList* features = gst_registry_get_feature_list(gst_registry_get(), GST_TYPE_ELEMENT_FACTORY);
  for (GList* item = features; item; item = item->next)
    names.emplace_back(gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(item->data)));
  gst_plugin_feature_list_free(features);
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace worker
