#include <windows.h>
// After windows.h, which it builds on.
#include <io.h>
#include <shellapi.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "platform/console.h"
#include "platform/win32/text_conversion.h"

namespace officecarve {
namespace {

// The console calls the handler on a thread of its own.
std::atomic<int> g_interrupts{0};

BOOL WINAPI OnConsoleControl(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  if (g_interrupts.fetch_add(1) + 1 >= 3) std::_Exit(130);
  return TRUE;
}

}  // namespace

bool IsTerminal(StandardStream stream) {
  return _isatty(_fileno(stream == StandardStream::kInput ? stdin : stderr)) != 0;
}

int ErrorTerminalColumns() {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (!GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info)) return 0;
  return info.srWindow.Right - info.srWindow.Left + 1;
}

void PrepareTerminal() {
  SetConsoleOutputCP(CP_UTF8);
  const HANDLE error_output = GetStdHandle(STD_ERROR_HANDLE);
  DWORD mode = 0;
  if (error_output != INVALID_HANDLE_VALUE && GetConsoleMode(error_output, &mode)) {
    SetConsoleMode(error_output, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
  }
}

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
  int count = 0;
  wchar_t** wide_arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide_arguments == nullptr || count != argc) {
    if (wide_arguments != nullptr) LocalFree(wide_arguments);
    std::vector<std::string> arguments;
    for (int i = 0; i < argc; ++i) arguments.push_back(win32::AnsiToUtf8(argv[i]));
    return arguments;
  }
  std::vector<std::string> arguments;
  for (int i = 0; i < count; ++i) arguments.push_back(win32::WideToUtf8(wide_arguments[i]));
  LocalFree(wide_arguments);
  return arguments;
}

void InstallInterruptCounter() { SetConsoleCtrlHandler(OnConsoleControl, TRUE); }

int InterruptCount() { return g_interrupts.load(); }

}  // namespace officecarve
