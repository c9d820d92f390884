#include "viewer/viewer_instance.h"

#include "forms/thread_instance.h"
#include "viewer/form1.h"

namespace quillpost {
namespace {

PerThreadInstances<Form1> g_viewers;

}  // namespace

HRESULT GetViewerWindow(Form1** out) { return g_viewers.Get(out); }

bool TranslateViewerAccelerator(MSG& message)
{
    Form1* viewer = g_viewers.Find();
    return viewer && viewer->TranslateAccelerator(message);
}
void ReleaseThreadViewer() { g_viewers.ReleaseThisThread(); }
void StopViewerInstances() { g_viewers.Stop(); }

}  // namespace quillpost
