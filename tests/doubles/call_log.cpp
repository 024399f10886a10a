#include "call_log.h"

std::vector<std::string>& CallLog() {
  static std::vector<std::string> log;
  return log;
}
