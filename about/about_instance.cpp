#include "about/about_instance.h"

#include "about/form2.h"
#include "forms/thread_instance.h"

namespace quillpost {
namespace {

PerThreadInstances<Form2> g_aboutWindows;

}  // namespace

HRESULT GetAboutWindow(Form2** out) { return g_aboutWindows.Get(out); }
void ReleaseThreadAbout() { g_aboutWindows.ReleaseThisThread(); }
void StopAboutInstances() { g_aboutWindows.Stop(); }

}  // namespace quillpost
