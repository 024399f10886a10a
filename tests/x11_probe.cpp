#include "x11_probe.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <cstring>

namespace {

Display* Connection() {
  static Display* display = XOpenDisplay(nullptr);
  return display;
}

Window FindByTitle(Display* display, Window parent, const std::string& title) {
  Window root;
  Window ignored;
  Window* children = nullptr;
  unsigned count = 0;
  Window match = 0;
  if (XQueryTree(display, parent, &root, &ignored, &children, &count) == 0) return 0;
  for (unsigned i = 0; i < count && match == 0; ++i) {
    char* name = nullptr;
    if (XFetchName(display, children[i], &name) != 0 && name != nullptr) {
      if (title == name) match = children[i];
      XFree(name);
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

void PressKey(const char* keyName) {
  Display* display = Connection();
  const KeyCode code = XKeysymToKeycode(display, XStringToKeysym(keyName));
  XTestFakeKeyEvent(display, code, True, 0);
  XTestFakeKeyEvent(display, code, False, 0);
  XFlush(display);
}

void RequestClose(const std::string& title) {
  Display* display = Connection();
  XEvent event;
  std::memset(&event, 0, sizeof event);
  event.xclient.type = ClientMessage;
  event.xclient.window = Find(title);
  event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(display, event.xclient.window, False, NoEventMask, &event);
  XFlush(display);
}
