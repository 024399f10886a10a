// Runs a piece of the program in a child process with its standard input and
// output on pipes, as a user's terminal would be, and reports what a parent
// process sees.
#pragma once

#include <functional>
#include <string>

struct ChildRun {
  std::string output;           // all the child wrote to standard output
  int exitStatus = -1;          // as waitpid reports it, 0 to 255; -1 if killed
  bool waitedAtPrompt = false;  // still running when the prompt appeared
};

// Runs body in a child; once the child has written prompt (or closed its
// output) the line is written to its standard input and the input closed.
// A child whose body returns exits with status 0.
ChildRun RunInChild(const std::function<void()>& body, const std::string& prompt,
                    const std::string& line);
