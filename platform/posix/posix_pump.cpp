#include "platform/posix/posix_pump.h"

#include <poll.h>
#include <unistd.h>

#include <utility>

namespace tolvex {

namespace {

KeyHandler key_handler;
KeyReader key_reader;

int ReadTerminalByte() {
  if (!isatty(STDIN_FILENO)) return -1;
  struct pollfd waiting = {STDIN_FILENO, POLLIN, 0};
  if (poll(&waiting, 1, 0) != 1 || !(waiting.revents & POLLIN)) return -1;
  unsigned char byte = 0;
  return read(STDIN_FILENO, &byte, 1) == 1 ? byte : -1;
}

}  // namespace

void SetKeyHandler(KeyHandler handler, KeyReader reader) {
  key_handler = std::move(handler);
  key_reader = std::move(reader);
}

void ClearKeyHandler() {
  key_handler = nullptr;
  key_reader = nullptr;
}

bool PumpOneKey() {
  if (!key_handler) return false;
  const int key = key_reader ? key_reader() : ReadTerminalByte();
  if (key < 0) return false;
  // A copy: the handler may replace itself (a view closing).
  const KeyHandler handler = key_handler;
  handler(key);
  return true;
}

}  // namespace tolvex
