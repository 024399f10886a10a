#include "x11_probe.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <cstring>

namespace {

Display* openConnection;

Display* Connection() {
  if (openConnection == nullptr) openConnection = XOpenDisplay(nullptr);
  return openConnection;
}

Window FindByTitle(Display* display, Window parent, const std::string& title) {
  Window root;
  Window ignored;
  Window* children = nullptr;
  unsigned count = 0;
  Window match = 0;
  if (XQueryTree(display, parent, &root, &ignored, &children, &count) == 0) return 0;
  for (unsigned i = 0; i < count && match == 0; ++i) {
    // The raw WM_NAME, whatever its encoding: SDL's message boxes give it a
    // UTF-8 type that XFetchName does not take.
    XTextProperty name;
    if (XGetWMName(display, children[i], &name) != 0 && name.value != nullptr) {
      if (title == std::string(reinterpret_cast<char*>(name.value), name.nitems))
        match = children[i];
      XFree(name.value);
    }
  }
  if (children != nullptr) XFree(children);
  return match;
}

Window Find(const std::string& title) {
  Display* display = Connection();
  return display != nullptr ? FindByTitle(display, DefaultRootWindow(display), title) : 0;
}

}  // namespace

unsigned long WindowIdOf(const std::string& title) { return Find(title); }

long PixelAt(const std::string& title, int x, int y) {
  const Window window = Find(title);
  if (window == 0) return -1;
  XImage* image = XGetImage(Connection(), window, x, y, 1, 1, AllPlanes, ZPixmap);
  if (image == nullptr) return -1;
  const auto pixel = static_cast<long>(XGetPixel(image, 0, 0) & 0xFFFFFF);
  XDestroyImage(image);
  return pixel;
}

WindowFacts LookUpWindow(const std::string& title) {
  WindowFacts facts;
  const Window window = Find(title);
  XWindowAttributes attributes;
  if (window == 0 || XGetWindowAttributes(Connection(), window, &attributes) == 0) return facts;
  facts.found = true;
  facts.width = attributes.width;
  facts.height = attributes.height;
  facts.mapped = attributes.map_state == IsViewable;
  return facts;
}

void SetMapped(const std::string& title, bool mapped) {
  const Window window = Find(title);
  if (window == 0) return;
  if (mapped) {
    XMapWindow(Connection(), window);
  } else {
    XUnmapWindow(Connection(), window);
  }
  XSync(Connection(), False);
}

bool FocusWindow(const std::string& title) {
  const Window window = Find(title);
  if (window == 0) return false;
  XSetInputFocus(Connection(), window, RevertToParent, CurrentTime);
  XSync(Connection(), False);
  return true;
}

// XFlush alone is not enough: under load the server can drop what a client
// sent just before it went away. XSync waits until the server has it.
void PressKey(const char* keyName) {
  Display* connection = Connection();
  const KeyCode code = XKeysymToKeycode(connection, XStringToKeysym(keyName));
  XTestFakeKeyEvent(connection, code, True, 0);
  XTestFakeKeyEvent(connection, code, False, 0);
  XSync(connection, False);
}

void RequestClose(const std::string& title) {
  Display* connection = Connection();
  XEvent event;
  std::memset(&event, 0, sizeof event);
  event.xclient.type = ClientMessage;
  event.xclient.window = Find(title);
  event.xclient.message_type = XInternAtom(connection, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(connection, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(connection, event.xclient.window, False, NoEventMask, &event);
  XSync(connection, False);
}

void Disconnect() {
  if (openConnection == nullptr) return;
  XSync(openConnection, False);
  XCloseDisplay(openConnection);
  openConnection = nullptr;
}
