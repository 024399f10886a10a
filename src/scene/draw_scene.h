// Draws one frame of the sphere grid into the current context's back buffer
// and advances the rotation.
#pragma once

// Sphere i sits at column i % 5, row i / 5, one unit apart, with radius
// 0.2 + level * 0.2 / 127. Each angle is kept within [0, 360). Leaves the
// modelview matrix at identity. Always true.
bool DrawScene();
