// OpenGL and GLU. On Windows <GL/gl.h> needs <windows.h> first, so every
// file that draws includes this instead of the GL headers themselves.
#pragma once

#include "platform/platform.h"

#include <GL/gl.h>
#include <GL/glu.h>
