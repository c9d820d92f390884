#include "viewer/viewer_instance.h"

#include "base/thread_instance.h"
#include "viewer/form1.h"

namespace quillpost {
namespace {

PerThreadInstances<Form1> g_viewers;

}  // namespace

HRESULT GetViewerWindow(Form1** out) { return g_viewers.Get(out); }
void ReleaseThreadViewer() { g_viewers.ReleaseThisThread(); }
void StopViewerInstances() { g_viewers.Stop(); }

}  // namespace quillpost
