#include "ui/framework/module.h"

namespace ui {

namespace {

HINSTANCE g_instance = nullptr;
CMessageLoop* g_loop = nullptr;
DWORD g_loopThread = 0;

}  // namespace

void CModule::Init(HINSTANCE instance) { g_instance = instance; }

void CModule::Term() {
  g_loop = nullptr;
  g_loopThread = 0;
}

HINSTANCE CModule::Instance() { return g_instance ? g_instance : ::GetModuleHandleW(nullptr); }

bool CModule::AddMessageLoop(CMessageLoop* loop) {
  if (g_loop) return false;
  g_loop = loop;
  g_loopThread = ::GetCurrentThreadId();
  return true;
}

void CModule::RemoveMessageLoop() {
  g_loop = nullptr;
  g_loopThread = 0;
}

CMessageLoop* CModule::MessageLoop() {
  return g_loop && g_loopThread == ::GetCurrentThreadId() ? g_loop : nullptr;
}

}  // namespace ui
