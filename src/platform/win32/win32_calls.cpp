#include "platform/win32/win32_calls.h"

namespace officecarve::win32 {
namespace {

const Win32Calls kSystemCalls{};
// The one piece of mutable state of the layer: which table is in force. Only
// tests change it, and only for the length of a test.
const Win32Calls* g_calls = &kSystemCalls;

}  // namespace

const Win32Calls& Calls() { return *g_calls; }

ScopedWin32Calls::ScopedWin32Calls(const Win32Calls& calls) : previous_(g_calls) {
  g_calls = &calls;
}

ScopedWin32Calls::~ScopedWin32Calls() { g_calls = previous_; }

}  // namespace officecarve::win32
