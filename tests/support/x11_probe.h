// Looks at our windows from the X server's side, as a user or the window
// manager would, independent of SDL.
#pragma once

#include <string>

struct WindowFacts {
  bool found = false;
  int width = 0;
  int height = 0;
  bool mapped = false;
};

// The top-level window with this title on $DISPLAY.
WindowFacts LookUpWindow(const std::string& title);

// Its X window id; 0 when there is none.
unsigned long WindowIdOf(const std::string& title);

// The colour on screen at (x, y) of the window's client area, as 0xRRGGBB;
// -1 when there is no such window.
long PixelAt(const std::string& title, int x, int y);

// Gives the window with this title the keyboard focus; false when there is
// none. Returns once the server has done it.
bool FocusWindow(const std::string& title);

// Presses and releases a key, by its X name ("Escape"), through the XTEST
// extension; it goes to the window that has the keyboard focus. Returns once
// the server has taken both events.
void PressKey(const char* keyName);

// Unmaps or maps the window with this title again, as a window manager does
// when it minimises it or switches to another workspace, and back. Returns
// once the server has done it.
void SetMapped(const std::string& title, bool mapped);

// What the window manager sends when the user clicks the close button.
// Returns once the server has taken it.
void RequestClose(const std::string& title);

// Closes the connection. A tool calls it before it exits: only then is it
// sure that the server has acted on everything it sent.
void Disconnect();
