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

// Presses and releases a key, by its X name ("Escape"), through the XTEST
// extension; it goes to the window that has the keyboard focus.
void PressKey(const char* keyName);

// What the window manager sends when the user clicks the close button.
void RequestClose(const std::string& title);
