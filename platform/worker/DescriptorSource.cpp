#include "platform/worker/DescriptorSource.h"

#include <gst/base/gstbasesrc.h>
#include <sys/stat.h>
#include <unistd.h>

#if defined(__SANITIZE_THREAD__)
#include <sanitizer/tsan_interface.h>
#endif

#include <algorithm>
#include <cerrno>

namespace worker {
namespace {

struct DescriptorSrc {
  GstBaseSrc parent;
  int fd;
  guint64 size;
};

struct DescriptorSrcClass {
  GstBaseSrcClass parent;
};

GType DescriptorSrcType();
DescriptorSrc* Cast(GstBaseSrc* src) {
  return reinterpret_cast<DescriptorSrc*>(src);
}

gboolean Start(GstBaseSrc* base) {
  DescriptorSrc* self = Cast(base);
  struct stat info {};
  if (self->fd < 0 || fstat(self->fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    GST_ELEMENT_ERROR(base, RESOURCE, OPEN_READ, ("The file is not a regular file."), (nullptr));
    return FALSE;
  }
  self->size = static_cast<guint64>(info.st_size);
  return TRUE;
}

gboolean GetSize(GstBaseSrc* base, guint64* size) {
  *size = Cast(base)->size;
  return TRUE;
}

gboolean IsSeekable(GstBaseSrc*) {
  return TRUE;
}

// The bytes read pass to other threads (the next read's, the demuxer's, the sinks') through
// GStreamer's pads and queues, whose locks ThreadSanitizer cannot see: each read takes over what
// the reads before it did and hands its own over, and TakeOverFileBytes takes them over where
// they arrive. Nothing in other builds.
[[maybe_unused]] char g_handOver;

void HandOver() {
#if defined(__SANITIZE_THREAD__)
  __tsan_release(&g_handOver);
#endif
}

GstFlowReturn Fill(GstBaseSrc* base, guint64 offset, guint length, GstBuffer* buffer) {
  TakeOverFileBytes();
  struct HandOverOnReturn {
    ~HandOverOnReturn() { HandOver(); }
  } handOver;
  DescriptorSrc* self = Cast(base);
  if (offset >= self->size) return GST_FLOW_EOS;
  GstMapInfo map;
  if (!gst_buffer_map(buffer, &map, GST_MAP_WRITE)) return GST_FLOW_ERROR;
  gsize got = 0;
  const gsize want = std::min<gsize>(map.size, length);
  while (got < want) {
    const ssize_t n = pread(self->fd, map.data + got, want - got, static_cast<off_t>(offset + got));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<gsize>(n);
  }
  gst_buffer_unmap(buffer, &map);
  if (got == 0) return GST_FLOW_EOS;
  gst_buffer_set_size(buffer, got);
  GST_BUFFER_OFFSET(buffer) = offset;
  GST_BUFFER_OFFSET_END(buffer) = offset + got;
  return GST_FLOW_OK;
}

void ClassInit(gpointer klass, gpointer) {
  auto* element = GST_ELEMENT_CLASS(klass);
  static GstStaticPadTemplate src = GST_STATIC_PAD_TEMPLATE("src", GST_PAD_SRC, GST_PAD_ALWAYS, GST_STATIC_CAPS_ANY);
  gst_element_class_add_static_pad_template(element, &src);
  gst_element_class_set_static_metadata(element, "Descriptor source", "Source/File",
                                        "Reads an open file descriptor by offset", "Orbelle-Player");
  auto* base = GST_BASE_SRC_CLASS(klass);
  base->start = &Start;
  base->get_size = &GetSize;
  base->is_seekable = &IsSeekable;
  base->fill = &Fill;
}

void InstanceInit(GTypeInstance* instance, gpointer) {
  auto* self = reinterpret_cast<DescriptorSrc*>(instance);
  self->fd = -1;
  self->size = 0;
}

GType DescriptorSrcType() {
  static GType type = 0;
  if (g_once_init_enter(&type)) {
    const GTypeInfo info = {sizeof(DescriptorSrcClass), nullptr, nullptr,       &ClassInit, nullptr, nullptr,
                            sizeof(DescriptorSrc),      0,       &InstanceInit, nullptr};
    const GType made = g_type_register_static(GST_TYPE_BASE_SRC, "OrbelleDescriptorSrc", &info, GTypeFlags{});
    g_once_init_leave(&type, made);
  }
  return type;
}

}  // namespace

void TakeOverFileBytes() {
#if defined(__SANITIZE_THREAD__)
  __tsan_acquire(&g_handOver);
#endif
}

bool RegisterDescriptorSource() {
  return gst_element_register(nullptr, "orbelledescriptorsrc", GST_RANK_NONE, DescriptorSrcType());
}

void SetSourceDescriptor(GstElement* source, int fd) {
  if (G_TYPE_CHECK_INSTANCE_TYPE(source, DescriptorSrcType())) reinterpret_cast<DescriptorSrc*>(source)->fd = fd;
}

}  // namespace worker
