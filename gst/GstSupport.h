// Ownership of GStreamer objects, and what the channels and the library
// over them share.
#pragma once

#include <gst/gst.h>

#include <chrono>
#include <cstdint>
#include <memory>

namespace tunrax::gst {

// How long a file may take to be opened and prerolled.
constexpr GstClockTime kPrerollTimeout = 2 * GST_SECOND;

struct ObjectUnref {
    void operator()(gpointer p) const { gst_object_unref(p); }
};
struct MessageUnref {
    void operator()(GstMessage* m) const { gst_message_unref(m); }
};
struct ErrorFree {
    void operator()(GError* e) const { g_error_free(e); }
};
struct CharFree {
    void operator()(gchar* s) const { g_free(s); }
};
using ElementPtr = std::unique_ptr<GstElement, ObjectUnref>;
using BusPtr = std::unique_ptr<GstBus, ObjectUnref>;
using MessagePtr = std::unique_ptr<GstMessage, MessageUnref>;
using ErrorPtr = std::unique_ptr<GError, ErrorFree>;
using CharPtr = std::unique_ptr<gchar, CharFree>;

// Takes a new (floating) element into sole ownership.
inline ElementPtr Own(GstElement* element) {
    return ElementPtr(element ? GST_ELEMENT(gst_object_ref_sink(element)) : nullptr);
}

inline int64_t SteadyNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace tunrax::gst
