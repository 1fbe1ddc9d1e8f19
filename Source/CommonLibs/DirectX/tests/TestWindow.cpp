// X11 calls for the input tests, kept apart from the test framework's
// headers, which clash with Xlib's macros.
#include <SDL/SDL.h>
#include <SDL/SDL_syswm.h>
#include <dlfcn.h>

void RaiseTestWindow() {
  static void* x11 = dlopen("libX11.so.6", RTLD_NOW | RTLD_LOCAL);
  if (!x11) return;
  typedef int (*RaiseFn)(Display*, Window);
  typedef int (*FlushFn)(Display*);
  RaiseFn raise = reinterpret_cast<RaiseFn>(dlsym(x11, "XRaiseWindow"));
  FlushFn flush = reinterpret_cast<FlushFn>(dlsym(x11, "XFlush"));
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!raise || !flush || SDL_GetWMInfo(&info) <= 0) return;
  info.info.x11.lock_func();
  raise(info.info.x11.display, info.info.x11.wmwindow);
  flush(info.info.x11.display);
  info.info.x11.unlock_func();
}
