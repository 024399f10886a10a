// One log of the calls the test doubles receive, in the order they came, so
// that a test can see how MIDI, window and drawing calls interleave.
#pragma once

#include <string>
#include <vector>

std::vector<std::string>& CallLog();
