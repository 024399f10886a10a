// One-time OpenGL set-up, once the rendering context is current.
#pragma once

// Viewport and a 45-degree perspective projection for a client size; the
// modelview matrix is left at identity. A height of 0 counts as 1.
void ResizeScene(int width, int height);

// Smooth shading, black clear colour, depth test (GL_LEQUAL), light 1 from
// sceneState as the only light, lighting on, and the 25 sphere quadrics.
// A quadric that cannot be made stays null and is skipped when drawing.
// Always true.
bool SetUpScene();
