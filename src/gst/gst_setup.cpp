// SPDX-License-Identifier: GPL-3.0-or-later
#include "gst/gst_setup.h"

#include <gst/gst.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif

#include <algorithm>
#include <mutex>

namespace {

// The lighter decoders to prefer, each with its own plugin.
constexpr const char* kPreferred[] = {
    "mpg123audiodec",  // MPEG-1/2 audio, Layers I, II and III
    "mpeg2dec",        // MPEG-1 and MPEG-2 video
};
constexpr const char* kHeavyPlugin = "libav";

bool sinkCapsMeet(GstElementFactory* a, GstElementFactory* b) {
  auto sinkCaps = [](GstElementFactory* f) {
    GstCaps* all = gst_caps_new_empty();
    for (const GList* t = gst_element_factory_get_static_pad_templates(f); t; t = t->next) {
      auto* templ = static_cast<GstStaticPadTemplate*>(t->data);
      if (templ->direction == GST_PAD_SINK) all = gst_caps_merge(all, gst_static_pad_template_get_caps(templ));
    }
    return all;
  };
  GstCaps* ca = sinkCaps(a);
  GstCaps* cb = sinkCaps(b);
  const bool meet = gst_caps_can_intersect(ca, cb);
  gst_caps_unref(ca);
  gst_caps_unref(cb);
  return meet;
}

// Reads only the registry: no plugin is loaded to compare ranks and caps.
void rankAboveHeavy(GstRegistry* registry, const char* name) {
  GstPluginFeature* preferred = gst_registry_lookup_feature(registry, name);
  if (!preferred) return;  // not installed: the heavy decoder stays the choice
  if (GST_IS_ELEMENT_FACTORY(preferred)) {
    auto* factory = GST_ELEMENT_FACTORY(preferred);
    guint rank = gst_plugin_feature_get_rank(preferred);
    GList* rivals = gst_registry_get_feature_list_by_plugin(registry, kHeavyPlugin);
    for (GList* r = rivals; r; r = r->next) {
      auto* rival = static_cast<GstPluginFeature*>(r->data);
      if (GST_IS_ELEMENT_FACTORY(rival) &&
          gst_element_factory_list_is_type(GST_ELEMENT_FACTORY(rival), GST_ELEMENT_FACTORY_TYPE_DECODER) &&
          sinkCapsMeet(factory, GST_ELEMENT_FACTORY(rival)))
        rank = std::max(rank, gst_plugin_feature_get_rank(rival) + 1);
    }
    gst_plugin_feature_list_free(rivals);
    gst_plugin_feature_set_rank(preferred, rank);
  }
  gst_object_unref(preferred);
}

}  // namespace

namespace gst {

void setUp() {
  static std::once_flag once;
  std::call_once(once, [] {
#ifdef __GLIBC__
    // Every pipeline brings streaming threads of its own, and glibc gives
    // new threads new malloc arenas (up to 8 per core). Each arena keeps a
    // share of what the decoders freed, so a playlist going round grew in
    // steps of megabytes for as long as new arenas came. One pipeline plays
    // at a time: two arenas in all serve it.
    mallopt(M_ARENA_MAX, 2);
#endif
    if (!gst_is_initialized()) gst_init(nullptr, nullptr);
    if (g_getenv("GST_PLUGIN_FEATURE_RANK")) return;
    GstRegistry* registry = gst_registry_get();
    for (const char* name : kPreferred) rankAboveHeavy(registry, name);
  });
}

}  // namespace gst
