// The process entry on SDL2: the program starts at WinMain, as on Windows.
#include "platform/sdl_platform.h"

int main() {
  const int status = WinMain(GetModuleHandleA(nullptr), nullptr, nullptr, SW_SHOWDEFAULT);
  SDL_Quit();
  return status;
}
